#include "drives/drivemap.h"

#include "drives/directorydrive.h"
#include "drives/dospath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

DriveMap::DriveMap() : DriveMap(hostDefault()) {}

DriveMap::DriveMap(Fallback fallback) : m_fallback(std::move(fallback)) {}

void DriveMap::setDrive(QChar letter, std::shared_ptr<Drive> drive)
{
    if (m_passes > 0 && drive)
        drive->beginPass();
    m_drives.insert(letter.toUpper(), std::move(drive));
}

template <typename Visit>
void DriveMap::forEachDrive(Visit visit) const
{
    using Drives = QHash<QChar, std::shared_ptr<Drive>>;
    for (const Drives *drives : {static_cast<const Drives *>(&m_drives), static_cast<const Drives *>(&m_fallbackDrives)}) {
        for (const std::shared_ptr<Drive> &d : *drives) {
            if (d)
                visit(*d);
        }
    }
}

DriveMap::Pass::Pass(const DriveMap &drives) : m_drives(drives)
{
    if (m_drives.m_passes++ > 0)
        return;
    m_drives.forEachDrive([](const Drive &d) { d.beginPass(); });
}

DriveMap::Pass::~Pass()
{
    if (--m_drives.m_passes > 0)
        return;
    m_drives.forEachDrive([](const Drive &d) { d.endPass(); });
}

Result<QByteArray> DriveMap::readFile(QByteArrayView dosPath) const
{
    const DosPath path = DosPath::parse(dosPath);
    const std::shared_ptr<Drive> d = drive(path.drive);
    if (!d)
        return Failed{QCoreApplication::translate("drives", "stasjon %1: er ikke tilordnet").arg(path.drive), FailureKind::NoDrive};
    return d->readFile(path.components);
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
        return Failed{QCoreApplication::translate("drives", "stasjon %1: er ikke tilordnet").arg(path.drive), FailureKind::NoDrive};
    return d->listDirectory(path.components);
}

Result<bool> DriveMap::visitDirectory(QByteArrayView dosPath, Drive::Visitor &visit) const
{
    const DosPath path = DosPath::parse(dosPath);
    const std::shared_ptr<Drive> d = drive(path.drive);
    if (!d)
        return Failed{QCoreApplication::translate("drives", "stasjon %1: er ikke tilordnet").arg(path.drive), FailureKind::NoDrive};
    return d->visitDirectory(path.components, visit);
}

std::shared_ptr<Drive> DriveMap::drive(QChar letter) const
{
    const auto it = m_drives.constFind(letter);
    if (it != m_drives.cend())
        return it.value();
    const auto made = m_fallbackDrives.constFind(letter);
    if (made != m_fallbackDrives.cend())
        return made.value();
    std::shared_ptr<Drive> d = m_fallback ? m_fallback(letter) : nullptr;
    if (d && m_passes > 0)
        d->beginPass();
    m_fallbackDrives.insert(letter, d);
    return d;
}

DriveMap::Fallback DriveMap::hostDefault()
{
#ifdef Q_OS_WIN
    return [](QChar letter) {
        return std::make_shared<DirectoryDrive>(QString(QString(letter) + QStringLiteral(":/")));
    };
#else
    return [](QChar letter) {
        // The prefix as the environment spells it: a folder whose name is
        // not UTF-8 is still found.
        QByteArray prefix = qgetenv("WINEPREFIX");
        if (prefix.isEmpty())
            prefix = QFile::encodeName(QDir::homePath()) + "/.wine";
        return std::make_shared<DirectoryDrive>(prefix + "/dosdevices/" + char(letter.toLower().toLatin1()) + ':');
    };
#endif
}

DriveMap::Fallback DriveMap::none()
{
    return [](QChar) { return std::shared_ptr<Drive>(); };
}
