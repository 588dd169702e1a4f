#pragma once

#include <QByteArrayView>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Where on a disk the FAT volume of drive C: starts. Knows hard disks with
// an MBR and bare FAT volumes (floppies, partition dumps). The disk is read
// through `sectorAt`, so it may be a raw image file or the disk inside a
// virtual-disk image alike.
struct FatVolume
{
    qint64 offset = -1; // bytes from the start of the disk; -1 when none
    QString error;      // why not, when offset is -1

    // `head` is the first sector (at least 512 bytes), `sectorAt` reads the
    // 512 bytes at an offset (for a partition's boot sector), `size` is the
    // disk's size and `partition` 0 for the default, else 1 to 4.
    template <typename SectorAt>
    static FatVolume locate(QByteArrayView head, SectorAt sectorAt, qint64 size, int partition,
                            const QString &name);
};

namespace diskimage {

bool isFatBootSector(QByteArrayView sector);

// Where a FAT volume keeps what, in bytes from its start: the boot sector,
// the FATs and (FAT12/16) the root directory make up the system area;
// cluster 2 starts the data area.
struct FatLayout
{
    qint64 systemBytes = 0;
    qint64 clusterBytes = 0;
    qint64 fatStart = 0;      // the first FAT
    quint32 rootCluster = 0;  // FAT32: where the root directory starts; 0 when it is in the system area
    qint64 totalBytes = 0;    // of the whole volume, as its boot sector gives it
    qint64 fatBytes = 0;      // of one FAT
    int fatBits = 0;          // 12, 16 or 32: the size of a FAT entry
    quint32 clusterCount = 0; // clusters of the data area, numbered from 2
    qint64 rootStart = 0;     // FAT12/16: the root directory in the system area
    qint64 rootBytes = 0;
    // Where a cluster of the data area starts.
    qint64 clusterStart(quint32 cluster) const { return systemBytes + qint64(cluster - 2) * clusterBytes; }
};
// Nothing when the sector is no FAT boot sector.
std::optional<FatLayout> fatLayout(QByteArrayView bootSector);

struct Partition
{
    int number;       // 1 to 4 for a primary entry, 5, 6, ... for the logical drives in chain order
    bool active;
    unsigned type;
    qint64 startByte;
    qint64 bytes = 0;
};
// The used primary entries of an MBR (none when the sector holds none).
QList<Partition> primaryPartitions(QByteArrayView sector);
bool isFatType(unsigned type);
// An extended partition, as FDISK (0x05), Windows 95 (0x0F) or Linux (0x85)
// writes it.
bool isExtendedType(unsigned type);

// The logical drives of a disk's extended partition, numbered from 5 in the
// order of its chain of boot records, or why the chain cannot be followed:
// a record that is damaged, a link that points outside the disk or back into
// the chain, a chain longer than any FDISK makes. `problem` has the disk's
// name filled in by the caller (as %1).
struct LogicalDrives
{
    QList<Partition> partitions;
    QString problem; // empty when the chain was followed to its end
};
LogicalDrives logicalPartitions(const QList<Partition> &primaries, const std::function<QByteArray(qint64)> &sectorAt,
                                qint64 size);

} // namespace diskimage

template <typename SectorAt>
FatVolume FatVolume::locate(QByteArrayView head, SectorAt sectorAt, qint64 size, int partition,
                            const QString &name)
{
    using namespace diskimage;
    if (head.size() < 512)
        return {-1, QCoreApplication::translate("drives", "%1 er for lite til å være et diskbilde").arg(name)};
    if (partition == 0 && isFatBootSector(head))
        return {0, QString()};
    const QList<Partition> partitions = primaryPartitions(head);
    if (partitions.isEmpty())
        return {-1, QCoreApplication::translate("drives", "%1 inneholder ingen FAT-stasjon").arg(name)};
    const Partition *chosen = nullptr;
    LogicalDrives logical;
    if (partition > 4) {
        logical = logicalPartitions(partitions, [&sectorAt](qint64 at) { return QByteArray(sectorAt(at)); }, size);
        if (!logical.problem.isEmpty())
            return {-1, logical.problem.arg(name)};
        for (const Partition &p : logical.partitions) {
            if (p.number == partition)
                chosen = &p;
        }
        if (!chosen)
            return {-1, QCoreApplication::translate("drives", "%1 har ingen partisjon %2").arg(name).arg(partition)};
    } else if (partition != 0) {
        for (const Partition &p : partitions) {
            if (p.number == partition)
                chosen = &p;
        }
        if (!chosen)
            return {-1, QCoreApplication::translate("drives", "%1 har ingen partisjon %2").arg(name).arg(partition)};
    } else {
        for (const Partition &p : partitions) { // the active FAT partition...
            if (!chosen && p.active && isFatType(p.type))
                chosen = &p;
        }
        for (const Partition &p : partitions) { // ...else the first FAT one...
            if (!chosen && isFatType(p.type))
                chosen = &p;
        }
        if (!chosen) // ...else the first one
            chosen = &partitions.first();
    }
    if (chosen->startByte + 512 > size || !isFatBootSector(sectorAt(chosen->startByte)))
        return {-1, QCoreApplication::translate("drives", "partisjon %1 i %2 inneholder ingen FAT-stasjon").arg(chosen->number).arg(name)};
    return {chosen->startByte, QString()};
}
