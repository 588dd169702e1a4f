#include "loading/drivemap.h"

#include "loading/directorydrive.h"
#include "loading/dospath.h"
#include "loading/failure.h"

#include <QDir>

DriveMap::DriveMap() : DriveMap(hostDefault()) {}

DriveMap::DriveMap(Fallback fallback) : m_fallback(std::move(fallback)) {}

void DriveMap::setDrive(QChar letter, std::shared_ptr<Drive> drive)
{
    m_drives.insert(letter.toUpper(), std::move(drive));
}

QByteArray DriveMap::readFile(QByteArrayView dosPath) const
{
    const DosPath path = DosPath::parse(dosPath);
    const std::shared_ptr<Drive> d = drive(path.drive);
    if (!d)
        throw FileError(path.display(), QStringLiteral("stasjon %1: er ikke tilordnet").arg(path.drive));
    Result<QByteArray> result = d->readFile(path.components);
    if (!result)
        throw FileError(path.display(), result.reason());
    return std::move(result).value();
}

bool DriveMap::fileExists(QByteArrayView dosPath) const
{
    const DosPath path = DosPath::parse(dosPath);
    const std::shared_ptr<Drive> d = drive(path.drive);
    return d && d->fileExists(path.components);
}

std::optional<QString> DriveMap::hostFile(QByteArrayView dosPath) const
{
    const DosPath path = DosPath::parse(dosPath);
    const std::shared_ptr<Drive> d = drive(path.drive);
    return d ? d->hostFile(path.components) : std::nullopt;
}

Result<QList<DirEntry>> DriveMap::listDirectory(QByteArrayView dosPath) const
{
    const DosPath path = DosPath::parse(dosPath);
    const std::shared_ptr<Drive> d = drive(path.drive);
    if (!d)
        return Failed{QStringLiteral("stasjon %1: er ikke tilordnet").arg(path.drive)};
    return d->listDirectory(path.components);
}

std::shared_ptr<Drive> DriveMap::drive(QChar letter) const
{
    const auto it = m_drives.constFind(letter);
    if (it != m_drives.cend())
        return it.value();
    return m_fallback ? m_fallback(letter) : nullptr;
}

DriveMap::Fallback DriveMap::hostDefault()
{
#ifdef Q_OS_WIN
    return [](QChar letter) {
        return std::make_shared<DirectoryDrive>(QString(letter) + QStringLiteral(":/"));
    };
#else
    return [](QChar letter) {
        QString prefix = qEnvironmentVariable("WINEPREFIX");
        if (prefix.isEmpty())
            prefix = QDir::homePath() + QStringLiteral("/.wine");
        return std::make_shared<DirectoryDrive>(prefix + QStringLiteral("/dosdevices/")
                                                + letter.toLower() + QLatin1Char(':'));
    };
#endif
}

DriveMap::Fallback DriveMap::none()
{
    return [](QChar) { return std::shared_ptr<Drive>(); };
}
