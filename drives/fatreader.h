#pragma once

#include "drives/diskimage.h"
#include "drives/result.h"
#include "drives/virtualdisk.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// One entry of a FAT directory, as Windows shows it.
struct FatEntry
{
    QString name;      // the long name, else the short one ("CONFIG.SYS", "notepad.lnk")
    QString shortName; // "PROGRA~1", "CONFIG.SYS": the name DOS knows it by
    bool isDirectory = false;
    quint32 firstCluster = 0;
    quint32 size = 0;

    // Whether a path component names this entry: by its long or its short
    // name, without regard to case, as Windows looks names up.
    bool isNamed(const QString &component) const;
};

namespace fatreader {

// The entries of a directory's bytes, up to the entry that ends it: long
// names joined to their short entry when their checksum matches, short names
// read in code page 850 as mtools and DOS show them. Deleted entries, the
// volume label, "." and ".." are left out.
QList<FatEntry> directoryEntries(QByteArrayView bytes);

} // namespace fatreader

// Reads the directories and files of a FAT12, FAT16 or FAT32 volume from the
// bytes of its disk, following cluster chains through the FAT. Every chain
// is bounded by the volume's number of clusters and a directory by the 65,536
// entries FAT allows, so a damaged or hostile FAT (a loop, a cluster outside
// the volume) is one line, never a hang or a file larger than the volume.
class FatReader
{
public:
    // Reads the bytes of the ranges, one after the other, from the disk
    // (a virtual disk unpacks them first, all in one go).
    using ReadRanges = std::function<Result<QByteArray>(const QList<ByteRange> &ranges)>;

    FatReader(ReadRanges read, qint64 volumeOffset, diskimage::FatLayout layout);

    Result<QList<FatEntry>> rootDirectory();
    Result<QList<FatEntry>> directory(const FatEntry &entry);
    Result<QByteArray> file(const FatEntry &entry);

    // Drops the FAT's sectors read so far, so the next read sees the disk as
    // it then is.
    void forget() { m_fatBlocks.clear(); }

private:
    // The ranges of the disk a chain covers, contiguous clusters joined;
    // `clusters` of them, or up to its end when it is -1.
    Result<QList<ByteRange>> chain(quint32 first, qint64 clusters);
    Result<quint32> next(quint32 cluster);
    QList<FatEntry> entriesIn(QByteArrayView bytes) const;

    ReadRanges m_read;
    qint64 m_offset;
    diskimage::FatLayout m_layout;
    QHash<qint64, QByteArray> m_fatBlocks;
};
