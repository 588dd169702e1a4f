#pragma once

#include <QByteArray>
#include <QHash>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

class DriveMap;

// The directories of the drives, each listed at most once: an audit asks
// about thousands of names in a handful of directories, and a listing of a
// disk image costs a process. Names are kept upper-cased, as DOS compares
// them.
class DirectoryCache
{
public:
    // Names gathered once and then only looked up: a sorted array, which a
    // directory of 100,000 files fills far faster than a hash set.
    class NameSet
    {
    public:
        void reserve(std::size_t count) { m_names.reserve(count); }
        void add(std::string name) { m_names.push_back(std::move(name)); }
        void seal()
        {
            std::sort(m_names.begin(), m_names.end());
            m_names.erase(std::unique(m_names.begin(), m_names.end()), m_names.end());
        }
        bool contains(const std::string &name) const { return std::binary_search(m_names.begin(), m_names.end(), name); }

    private:
        std::vector<std::string> m_names;
    };

    struct Listing
    {
        QByteArray path;            // "C:\WINDOWS\SYSTEM", upper-cased
        bool listed = false;        // false when the directory cannot be listed
        NameSet files;
        NameSet stems; // the files' names without their extension

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
