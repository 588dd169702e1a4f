#include "audit/directorycache.h"

#include "drives/ansitext.h"
#include "drives/dospath.h"
#include "drives/drivemap.h"

#include <algorithm>
#include <cstring>

void DirectoryCache::Listing::writePath(QByteArrayView upperName, std::string &out) const
{
    out.assign(path.constData(), static_cast<size_t>(path.size()));
    if (!path.endsWith('\\'))
        out += '\\';
    out.append(upperName.data(), static_cast<size_t>(upperName.size()));
}

std::string_view DirectoryCache::NameSet::at(std::uint32_t start) const
{
    const std::string_view name(m_names.data() + start); // up to its NUL
    if (m_part == Part::Whole)
        return name;
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot > 0 ? name.substr(0, dot) : std::string_view();
}

std::size_t DirectoryCache::NameSet::slotOf(std::string_view name) const
{
    // The hash scaled onto the table, whose size need not be a power of two.
    const auto hash = static_cast<std::uint64_t>(std::hash<std::string_view>()(name));
    const std::uint64_t folded = (hash ^ (hash >> 32)) & 0xFFFFFFFFu;
    return static_cast<std::size_t>((folded * m_slots.size()) >> 32);
}

void DirectoryCache::NameSet::reserve(std::size_t count)
{
    // At most two thirds full, so a search ends after a few slots.
    const std::size_t size = std::max<std::size_t>(16, count + count / 2 + 1);
    if (size <= m_slots.size())
        return;
    std::vector<std::uint32_t> old(size, 0);
    old.swap(m_slots);
    m_count = 0;
    for (const std::uint32_t slot : old) {
        if (slot != 0)
            insert(slot - 1, at(slot - 1));
    }
}

void DirectoryCache::NameSet::add(std::size_t start)
{
    const std::string_view name = at(static_cast<std::uint32_t>(start));
    if (name.empty())
        return;
    if (3 * (m_count + 1) > 2 * m_slots.size())
        reserve(2 * m_count + 16);
    insert(static_cast<std::uint32_t>(start), name);
}

void DirectoryCache::NameSet::insert(std::uint32_t start, std::string_view name)
{
    const std::size_t size = m_slots.size();
    for (std::size_t slot = slotOf(name);; slot = slot + 1 == size ? 0 : slot + 1) {
        if (m_slots[slot] == 0) {
            m_slots[slot] = start + 1;
            ++m_count;
            return;
        }
        if (at(m_slots[slot] - 1) == name)
            return; // there already
    }
}

bool DirectoryCache::NameSet::contains(std::string_view name) const
{
    if (m_slots.empty() || name.empty())
        return false;
    const std::size_t size = m_slots.size();
    for (std::size_t slot = slotOf(name); m_slots[slot] != 0; slot = slot + 1 == size ? 0 : slot + 1) {
        if (at(m_slots[slot] - 1) == name)
            return true;
    }
    return false;
}

void DirectoryCache::Listing::reserve(std::size_t count)
{
    m_names.reserve(count * 13); // an 8.3 name takes at most 13 bytes with its NUL
    m_files.reserve(count);
}

void DirectoryCache::Listing::add(QStringView name)
{
    const std::size_t start = m_names.size();
    ansi::appendUpper(name, m_names);
    ended(start);
}

void DirectoryCache::Listing::add(QByteArrayView ansiName)
{
    const std::size_t start = m_names.size();
    ansi::appendUpper(ansiName, m_names);
    ended(start);
}

void DirectoryCache::Listing::ended(std::size_t start)
{
    m_names += '\0';
    m_files.add(start);
}

bool DirectoryCache::Listing::hasStem(std::string_view upperStem) const
{
    if (!m_stemsMade) {
        m_stems.reserve(m_files.size());
        for (std::size_t start = 0; start < m_names.size(); start += std::strlen(m_names.data() + start) + 1)
            m_stems.add(start);
        m_stemsMade = true;
    }
    return m_stems.contains(upperStem);
}

namespace {

// Takes a directory's files into a listing.
class Gatherer : public Drive::Visitor
{
public:
    explicit Gatherer(DirectoryCache::Listing &listing) : m_listing(listing) {}

    void expect(qsizetype count) override { m_listing.reserve(static_cast<std::size_t>(std::max<qsizetype>(count, 0))); }

    void entry(QStringView name, bool isDirectory) override
    {
        if (!isDirectory)
            m_listing.add(name);
    }
    void ansiEntry(QByteArrayView name, bool isDirectory) override
    {
        if (!isDirectory)
            m_listing.add(name);
    }

private:
    DirectoryCache::Listing &m_listing;
};

} // namespace

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
        Gatherer gather(*listing);
        const Result<bool> visited = m_drives.visitDirectory(path, gather);
        listing->listed = visited.ok();
    }
    m_byWritten.insert(dosDirectory, listing.get());
    return *listing;
}
