#include "directorydrive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kNoSuchFile = QStringLiteral("filen finnes ikke");

// Files above this size are refused: no start-up file comes near it, and a
// line list indexes its text with 32 bits.
constexpr qint64 kMaxFileSize = qint64(1) << 31;

std::optional<QString> findEntry(const QString &dir, const QString &name)
{
    const QString exact = dir + QLatin1Char('/') + name;
    if (QFileInfo::exists(exact) || QFileInfo(exact).isSymLink())
        return exact;
    const QStringList entries = QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir + QLatin1Char('/') + entry;
    }
    return std::nullopt;
}

} // namespace

DirectoryDrive::DirectoryDrive(QString root) : m_root(std::move(root))
{
    while (m_root.size() > 1 && m_root.endsWith(QLatin1Char('/')))
        m_root.chop(1);
}

std::optional<QString> DirectoryDrive::resolve(const QStringList &components, QString *reason) const
{
    if (!QFileInfo(m_root).isDir()) {
        if (reason)
            *reason = QStringLiteral("mappen for stasjonen (%1) finnes ikke").arg(m_root);
        return std::nullopt;
    }
    QString path = m_root;
    for (qsizetype i = 0; i < components.size(); ++i) {
        if (i > 0 && !QFileInfo(path).isDir()) {
            if (reason)
                *reason = kNoSuchFile;
            return std::nullopt;
        }
        const std::optional<QString> next = findEntry(path, components[i]);
        if (!next) {
            if (reason)
                *reason = kNoSuchFile;
            return std::nullopt;
        }
        path = *next;
    }
    return path;
}

Drive::ReadResult DirectoryDrive::readFile(const QStringList &components) const
{
    QString reason;
    const std::optional<QString> path = resolve(components, &reason);
    if (!path)
        return {std::nullopt, reason};
    const QFileInfo info(*path);
    if (!info.exists()) {
        return {std::nullopt, info.isSymLink()
                                  ? QStringLiteral("en symbolsk lenke som ikke fører til noen fil")
                                  : kNoSuchFile};
    }
    if (info.isDir())
        return {std::nullopt, QStringLiteral("det er en mappe, ikke en fil")};
    // A FIFO or a device would block or never end: only regular files are read.
    if (!info.isFile())
        return {std::nullopt, QStringLiteral("det er ikke en vanlig fil")};
    if (info.size() > kMaxFileSize)
        return {std::nullopt, QStringLiteral("filen er for stor (%1 byte)").arg(info.size())};
    if (!info.isReadable())
        return {std::nullopt, QStringLiteral("ingen lesetilgang")};
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, file.errorString()};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, file.errorString()};
    return {std::move(bytes), QString()};
}

bool DirectoryDrive::fileExists(const QStringList &components) const
{
    return hostFile(components).has_value();
}

std::optional<QString> DirectoryDrive::hostFile(const QStringList &components) const
{
    const std::optional<QString> path = resolve(components);
    if (!path || !QFileInfo(*path).isFile())
        return std::nullopt;
    return path;
}
