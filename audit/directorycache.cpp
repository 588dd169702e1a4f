#include "audit/directorycache.h"

#include "drives/ansitext.h"
#include "drives/dospath.h"
#include "drives/drivemap.h"

void DirectoryCache::Listing::writePath(QByteArrayView upperName, std::string &out) const
{
    out.assign(path.constData(), static_cast<size_t>(path.size()));
    if (!path.endsWith('\\'))
        out += '\\';
    out.append(upperName.data(), static_cast<size_t>(upperName.size()));
}

DirectoryCache::DirectoryCache(const DriveMap &drives) : m_drives(drives) {}

DirectoryCache::~DirectoryCache() = default;

const DirectoryCache::Listing &DirectoryCache::directory(QByteArrayView dosDirectory)
{
    if (!m_last || dosDirectory != m_lastWritten) {
        m_lastWritten = dosDirectory.toByteArray();
        m_last = &directory(m_lastWritten);
    }
    return *m_last;
}

const DirectoryCache::Listing &DirectoryCache::directory(const QByteArray &dosDirectory)
{
    const auto known = m_byWritten.constFind(dosDirectory);
    return known != m_byWritten.cend() ? **known : list(dosDirectory);
}

const DirectoryCache::Listing &DirectoryCache::list(const QByteArray &dosDirectory)
{
    // The same directory may be written in several ways ("C:\WINDOWS\",
    // "\windows", "C:\WINDOWS\SYSTEM\.."): one listing serves them all.
    const QByteArray path = ansi::upper(ansi::encode(DosPath::parse(dosDirectory).display()));
    std::shared_ptr<Listing> &listing = m_byPath[path];
    if (!listing) {
        listing = std::make_shared<Listing>();
        listing->path = path;
        ++m_listingsMade;
        const Result<QList<DirEntry>> entries = m_drives.listDirectory(path);
        if (entries) {
            listing->listed = true;
            listing->files.reserve(static_cast<std::size_t>(entries->size()));
            listing->stems.reserve(static_cast<std::size_t>(entries->size()));
            std::string file;
            for (const DirEntry &entry : *entries) {
                if (entry.isDirectory)
                    continue;
                file.clear();
                ansi::appendUpper(entry.name, file);
                const size_t dot = file.rfind('.');
                if (dot != std::string::npos && dot > 0)
                    listing->stems.add(std::string_view(file).substr(0, dot));
                listing->files.add(file);
            }
            listing->files.seal();
            listing->stems.seal();
        }
    }
    m_byWritten.insert(dosDirectory, listing.get());
    return *listing;
}
