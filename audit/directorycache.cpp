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

void DirectoryCache::NameSet::seal()
{
    // At most half full, so a search ends after a few slots.
    std::size_t capacity = 16;
    while (capacity < 2 * m_spans.size())
        capacity *= 2;
    m_slots.assign(capacity, 0);
    const std::size_t mask = capacity - 1;
    for (std::uint32_t span = 0; span < m_spans.size(); ++span) {
        const std::string_view name = nameAt(span);
        for (std::size_t at = std::hash<std::string_view>()(name) & mask;; at = (at + 1) & mask) {
            if (m_slots[at] == 0) {
                m_slots[at] = span + 1;
                break;
            }
            if (nameAt(m_slots[at] - 1) == name)
                break; // there already
        }
    }
}

bool DirectoryCache::NameSet::contains(std::string_view name) const
{
    if (m_slots.empty())
        return false;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = std::hash<std::string_view>()(name) & mask; m_slots[at] != 0; at = (at + 1) & mask) {
        if (nameAt(m_slots[at] - 1) == name)
            return true;
    }
    return false;
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
        std::string file;
        const Result<bool> visited = m_drives.visitDirectory(path, [&file, &listing](QStringView name, bool isDirectory) {
            if (isDirectory)
                return;
            file.clear();
            ansi::appendUpper(name, file);
            const size_t dot = file.rfind('.');
            if (dot != std::string::npos && dot > 0)
                listing->stems.add(std::string_view(file).substr(0, dot));
            listing->files.add(file);
        });
        listing->listed = visited.ok();
        listing->files.seal();
        listing->stems.seal();
    }
    m_byWritten.insert(dosDirectory, listing.get());
    return *listing;
}
