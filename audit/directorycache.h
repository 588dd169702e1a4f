#pragma once

#include <QByteArray>
#include <QHash>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class DriveMap;

// The directories of the drives, each listed at most once: an audit asks
// about thousands of names in a handful of directories, and a listing of a
// disk image costs a process. Names are kept upper-cased, as DOS compares
// them.
class DirectoryCache
{
public:
    // Names gathered once and then only looked up: each is found through an
    // open-addressing table of where it starts in a buffer of names ended by
    // NUL, which the set reads but does not own. A directory of 100,000 files
    // fills it far faster, and in far less memory, than a string each in a
    // sorted array or a node-based hash set.
    class NameSet
    {
    public:
        enum class Part { Whole, Stem }; // a stem: the name up to its last dot
        NameSet(const std::string &names, Part part) : m_names(names), m_part(part) {}
        // Done adding to the buffer: the table made of its `count` names
        // (its stems: the names with a dot past their first byte).
        void seal(std::size_t count);
        bool contains(std::string_view name) const;

    private:
        // The name, or stem, at a place in the buffer; empty when it has none.
        std::string_view at(std::uint32_t start) const;
        std::size_t slotOf(std::string_view name) const;

        const std::string &m_names;
        Part m_part;
        std::vector<std::uint32_t> m_slots; // where a name starts + 1; 0 when free
    };

    struct Listing
    {
        QByteArray path;     // "C:\WINDOWS\SYSTEM", upper-cased
        bool listed = false; // false when the directory cannot be listed
        std::string names;   // the files' names, upper-cased, each ended by NUL
        NameSet files{names, NameSet::Part::Whole};
        NameSet stems{names, NameSet::Part::Stem};

        Listing() = default;
        Listing(const Listing &) = delete; // the sets read `names`
        Listing &operator=(const Listing &) = delete;

        // The DOS path of a name in this directory, written into out.
        void writePath(QByteArrayView upperName, std::string &out) const;
    };

    explicit DirectoryCache(const DriveMap &drives);
    ~DirectoryCache();

    // A directory as a line writes it, in any case; a name without a drive
    // is taken from the root of C:.
    const Listing &directory(QByteArrayView dosDirectory);
    const Listing &directory(const QByteArray &dosDirectory);

    int listingsMade() const { return m_listingsMade; }

private:
    const Listing &list(const QByteArray &dosDirectory);

    const DriveMap &m_drives;
    QHash<QByteArray, const Listing *> m_byWritten; // as written, case and all
    QByteArray m_lastWritten;                       // the last one asked for,
    const Listing *m_last = nullptr;                // which the next line often repeats
    QHash<QByteArray, std::shared_ptr<Listing>> m_byPath;
    int m_listingsMade = 0;
};

// Directories a name is looked for in, in turn, as a search list writes
// them; each is found in the cache when first reached and kept at hand.
class SearchList
{
public:
    SearchList() = default;
    explicit SearchList(QList<QByteArray> directories)
        : m_directories(std::move(directories)), m_listings(m_directories.size(), nullptr)
    {
    }

    qsizetype size() const { return m_directories.size(); }
    const DirectoryCache::Listing &at(qsizetype i, DirectoryCache &cache)
    {
        if (!m_listings[i])
            m_listings[i] = &cache.directory(m_directories[i]);
        return *m_listings[i];
    }

private:
    QList<QByteArray> m_directories;
    QList<const DirectoryCache::Listing *> m_listings;
};
