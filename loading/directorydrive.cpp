#include "loading/directorydrive.h"

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

Result<QString> DirectoryDrive::resolve(const QStringList &components) const
{
    if (!QFileInfo(m_root).isDir())
        return Failed{QStringLiteral("mappen for stasjonen (%1) finnes ikke").arg(m_root)};
    QString path = m_root;
    for (qsizetype i = 0; i < components.size(); ++i) {
        if (i > 0 && !QFileInfo(path).isDir())
            return Failed{kNoSuchFile};
        const std::optional<QString> next = findEntry(path, components[i]);
        if (!next)
            return Failed{kNoSuchFile};
        path = *next;
    }
    return path;
}

Result<QByteArray> DirectoryDrive::readFile(const QStringList &components) const
{
    const Result<QString> path = resolve(components);
    if (!path)
        return Failed{path.reason()};
    const QFileInfo info(*path);
    if (!info.exists()) {
        return Failed{info.isSymLink() ? QStringLiteral("en symbolsk lenke som ikke fører til noen fil")
                                       : kNoSuchFile};
    }
    if (info.isDir())
        return Failed{QStringLiteral("det er en mappe, ikke en fil")};
    // A FIFO or a device would block or never end: only regular files are read.
    if (!info.isFile())
        return Failed{QStringLiteral("det er ikke en vanlig fil")};
    if (info.size() > kMaxFileSize)
        return Failed{QStringLiteral("filen er for stor (%1 byte)").arg(info.size())};
    if (!info.isReadable())
        return Failed{QStringLiteral("ingen lesetilgang")};
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return Failed{file.errorString()};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Failed{file.errorString()};
    return bytes;
}

Result<QList<DirEntry>> DirectoryDrive::listDirectory(const QStringList &components) const
{
    const Result<QString> path = resolve(components);
    if (!path)
        return Failed{path.reason()};
    if (!QFileInfo(*path).isDir())
        return Failed{QStringLiteral("det er ikke en mappe")};
    QList<DirEntry> entries;
    const QFileInfoList infos = QDir(*path).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &info : infos)
        entries.append({info.fileName(), info.isDir()});
    return entries;
}

bool DirectoryDrive::fileExists(const QStringList &components) const
{
    return hostFile(components).has_value();
}

std::optional<QString> DirectoryDrive::hostFile(const QStringList &components) const
{
    const Result<QString> path = resolve(components);
    if (!path || !QFileInfo(*path).isFile())
        return std::nullopt;
    return *path;
}
