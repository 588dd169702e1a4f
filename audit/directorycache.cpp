#include "audit/directorycache.h"

#include "loading/ansitext.h"
#include "loading/dospath.h"
#include "loading/drivemap.h"

QByteArray DirectoryCache::Listing::pathOf(QByteArrayView upperName) const
{
    QByteArray result = path;
    if (!result.endsWith('\\'))
        result += '\\';
    result += upperName;
    return result;
}

DirectoryCache::DirectoryCache(const DriveMap &drives) : m_drives(drives) {}

DirectoryCache::~DirectoryCache() = default;

const DirectoryCache::Listing &DirectoryCache::directory(QByteArrayView dosDirectory)
{
    QByteArray written = ansi::upper(dosDirectory.toByteArray());
    if (const Listing *known = m_byWritten.value(written))
        return *known;

    // The same directory may be written in several ways ("C:\WINDOWS\",
    // "\windows", "C:\WINDOWS\SYSTEM\.."): one listing serves them all.
    const QByteArray path = ansi::upper(ansi::encode(DosPath::parse(written).display()));
    std::shared_ptr<Listing> &listing = m_byPath[path];
    if (!listing) {
        listing = std::make_shared<Listing>();
        listing->path = path;
        ++m_listingsMade;
        const Result<QList<DirEntry>> entries = m_drives.listDirectory(path);
        if (entries) {
            listing->listed = true;
            for (const DirEntry &entry : *entries) {
                QByteArray name = ansi::upper(ansi::encode(entry.name));
                (entry.isDirectory ? listing->directories : listing->files).insert(std::move(name));
            }
        }
    }
    m_byWritten.insert(std::move(written), listing.get());
    return *listing;
}
