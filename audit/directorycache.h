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
    // Names found through an open-addressing table of where each starts in
    // a buffer of names ended by NUL, which the set reads but does not own.
    // A directory of 100,000 files fills it far faster, and in far less
    // memory, than a string each in a sorted array or a node-based hash set.
    class NameSet
    {
    public:
        enum class Part { Whole, Stem }; // a stem: the name up to its last dot
        NameSet(const std::string &names, Part part) : m_names(names), m_part(part) {}
        // Room for about `count` names, made before the first is added.
        void reserve(std::size_t count);
        // The name (or its stem, if it has one) that starts at `start`.
        void add(std::size_t start);
        bool contains(std::string_view name) const;
        std::size_t size() const { return m_count; }

    private:
        // The name, or stem, at a place in the buffer; empty when it has none.
        std::string_view at(std::uint32_t start) const;
        std::size_t slotOf(std::string_view name) const;
        void insert(std::uint32_t start, std::string_view name);

        const std::string &m_names;
        Part m_part;
        std::vector<std::uint32_t> m_slots; // where a name starts + 1; 0 when free
        std::size_t m_count = 0;
    };

    // The files of one directory, by name.
    class Listing
    {
    public:
        QByteArray path;     // "C:\WINDOWS\SYSTEM", upper-cased
        bool listed = false; // false when the directory cannot be listed

        Listing() = default;
        Listing(const Listing &) = delete; // the sets read m_names
        Listing &operator=(const Listing &) = delete;

        // Room for about `count` files, made before the first is added.
        void reserve(std::size_t count);
        // A file as the drive names it; it is kept upper-cased.
        void add(QStringView name);
        void add(QByteArrayView ansiName); // Windows-1252 bytes
        bool hasFile(std::string_view upperName) const { return m_files.contains(upperName); }
        // Whether a file has this name before its last dot ("SCAN" for
        // SCAN.EXE): the set is made when first asked, since most
        // directories are only ever asked for whole names.
        bool hasStem(std::string_view upperStem) const;

        // The DOS path of a name in this directory, written into out.
        void writePath(QByteArrayView upperName, std::string &out) const;

    private:
        // The name just written from `start` on: ended, and in the set.
        void ended(std::size_t start);

        std::string m_names; // the files' names, upper-cased, each ended by NUL
        NameSet m_files{m_names, NameSet::Part::Whole};
        mutable NameSet m_stems{m_names, NameSet::Part::Stem};
        mutable bool m_stemsMade = false;
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
