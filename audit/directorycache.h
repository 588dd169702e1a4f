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
    // Names gathered once and then only looked up: their bytes kept one
    // after another in one buffer, found through an open-addressing table of
    // their places in it. A directory of 100,000 files fills it far faster
    // than a string each in a sorted array or a node-based hash set.
    class NameSet
    {
    public:
        void add(std::string_view name)
        {
            m_spans.emplace_back(static_cast<std::uint32_t>(m_bytes.size()), static_cast<std::uint32_t>(name.size()));
            m_bytes.append(name);
        }
        // Done adding: the table made, each name in it once.
        void seal();
        bool contains(std::string_view name) const;

    private:
        std::string_view nameAt(std::uint32_t span) const
        {
            return std::string_view(m_bytes).substr(m_spans[span].first, m_spans[span].second);
        }

        std::string m_bytes;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> m_spans; // where each name lies in m_bytes
        std::vector<std::uint32_t> m_slots;                            // a span's number + 1; 0 when free
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
