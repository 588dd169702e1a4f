#include "drives/relatedfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <climits>
#include <cstdlib>

namespace relatedfile {
namespace {

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray realFolder(const QByteArray &path)
{
    char resolved[PATH_MAX + 1];
    return ::realpath(path.constData(), resolved) ? QByteArray(resolved) : QByteArray();
}

bool isBelow(const QByteArray &path, const QByteArray &folder)
{
    if (folder.isEmpty() || path.isEmpty())
        return false;
    if (folder == "/")
        return true;
    return path.startsWith(folder) && path.size() > folder.size() && path[folder.size()] == '/';
}

bool isSystemPath(const QByteArray &path)
{
    for (const char *dir : {"/dev", "/proc", "/sys"}) {
        if (path == dir || isBelow(path, dir))
            return true;
    }
    return false;
}

QString what(Role role)
{
    return role == Role::Parent ? QCoreApplication::translate("drives", "som foreldrebilde") : QCoreApplication::translate("drives", "som en del av seg");
}

} // namespace

bool hasProtocol(QByteArrayView name)
{
    const qsizetype colon = name.indexOf(':');
    return colon >= 0 && !name.first(colon).contains('/');
}

Home Home::of(const PinnedFile &image)
{
    return {realFolder(folderOf(image.nativePath())), folderOf(image.realPath())};
}

bool Home::holds(const PinnedFile &file) const
{
    const QByteArray path = file.realPath();
    return isBelow(path, named) || isBelow(path, real);
}

Result<std::shared_ptr<PinnedFile>> open(const PinnedFile &from, const QByteArray &name, Role role)
{
    const QString shown = QFile::decodeName(name);
    if (name.isEmpty() || hasProtocol(name)) {
        return Failed{QCoreApplication::translate("drives", "%1 nevner «%2» %3, og det er ingen fil; vendral følger bare filer")
                          .arg(from.name(), shown, what(role))};
    }
    const QByteArray path = name.startsWith('/') ? name : folderOf(from.nativePath()) + '/' + name;
    const QByteArray clean = QFile::encodeName(QDir::cleanPath(QFile::decodeName(path)));
    if (isSystemPath(path) || isSystemPath(clean)) {
        return Failed{QCoreApplication::translate("drives", "%1 nevner %2 %3, og i /dev, /proc og /sys leser vendral ingenting")
                          .arg(from.name(), shown, what(role))};
    }
    Result<std::shared_ptr<PinnedFile>> file = PinnedFile::open(path, true);
    if (!file) {
        return Failed{(role == Role::Parent ? QCoreApplication::translate("drives", "foreldrebildet til %1 kan ikke leses: %2")
                                            : QCoreApplication::translate("drives", "en del av %1 kan ikke leses: %2"))
                          .arg(from.name(), file.reason())};
    }
    if (isSystemPath((*file)->realPath())) {
        return Failed{QCoreApplication::translate("drives", "%1 nevner %2 %3, og i /dev, /proc og /sys leser vendral ingenting")
                          .arg(from.name(), shown, what(role))};
    }
    return file;
}

Result<bool> mayReadRaw(const PinnedFile &from, const PinnedFile &file, const Home &home, Role role)
{
    if (home.holds(file))
        return true;
    return Failed{QCoreApplication::translate("drives", "%1 nevner %2 %3 utenfor bildets mappe, og en rå fil der leser vendral ikke; "
                                 "legg den i samme mappe som bildet")
                      .arg(from.name(), QFile::decodeName(file.nativePath()), what(role))};
}

} // namespace relatedfile
