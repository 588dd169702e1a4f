#pragma once

#include "drives/pinnedfile.h"
#include "drives/virtualdisk.h"

#include <QList>

#include <memory>
#include <vector>

// Where the bytes of a virtual disk lie in the files of its image: each
// extent is a span of the disk kept as is at an offset of one file. Spans
// no extent covers read as zeros.
struct DiskMap
{
    struct Extent
    {
        qint64 start = 0;  // on the disk
        qint64 length = 0;
        int file = 0;      // index into files
        qint64 offset = 0; // in that file
        qint64 end() const { return start + length; }
    };
    QList<Extent> extents; // sorted by start, not overlapping
    std::vector<std::shared_ptr<PinnedFile>> files;

    // The extents of the span [from, to), cut to fit it.
    QList<Extent> slice(qint64 from, qint64 to) const;
    // Adds another map's files, returning the index its first file got.
    int adoptFiles(const DiskMap &other);
    // Whether two spans of the disk are taken from one span of a file: no
    // image made by an emulator does that, and a hostile one would unpack a
    // few megabytes into gigabytes that way.
    bool aliases() const;
};

// More pieces than this make no disk's map: the image is refused.
constexpr qsizetype kMostMapExtents = qsizetype(1) << 20;

// Fills a virtual disk from the files of a map; `name` names the image in
// the message when a file ends before its extent does.
VirtualDisk::Filler fillerFor(DiskMap map, const QString &name);
