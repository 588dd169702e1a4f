#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <memory>

class DriveMap;

// The directories of the drives, each listed at most once: an audit asks
// about thousands of names in a handful of directories, and a listing of a
// disk image costs a process. Names are kept upper-cased, as DOS compares
// them.
class DirectoryCache
{
public:
    struct Listing
    {
        QByteArray path;            // "C:\WINDOWS\SYSTEM", upper-cased
        bool listed = false;        // false when the directory cannot be listed
        QSet<QByteArray> files;
        QSet<QByteArray> directories;

        // The DOS path of a name in this directory.
        QByteArray pathOf(QByteArrayView upperName) const;
    };

    explicit DirectoryCache(const DriveMap &drives);
    ~DirectoryCache();

    // A directory as a line writes it, in any case; a name without a drive
    // is taken from the root of C:.
    const Listing &directory(QByteArrayView dosDirectory);

    int listingsMade() const { return m_listingsMade; }

private:
    const DriveMap &m_drives;
    QHash<QByteArray, const Listing *> m_byWritten;
    QHash<QByteArray, std::shared_ptr<Listing>> m_byPath;
    int m_listingsMade = 0;
};
