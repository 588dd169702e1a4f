#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Where in a disk image file the FAT volume of drive C: starts. Knows raw
// hard-disk images with an MBR, bare FAT volumes (floppies, partition dumps)
// and fixed VHDs (a raw image with a footer); names the formats it cannot
// read (dynamic VHD, QCOW2, VDI, VMDK) so the user can convert them.
struct FatVolume
{
    qint64 offset = -1; // bytes from the start of the file; -1 when none
    QString error;      // why not, when offset is -1

    // `head` is the first sector (at least 512 bytes), `sectorAt` reads the
    // 512 bytes at an offset (for a partition's boot sector), `size` is the
    // file's size and `partition` 0 for the default, else 1 to 4.
    template <typename SectorAt>
    static FatVolume locate(QByteArrayView head, SectorAt sectorAt, qint64 size, int partition,
                            const QString &name);
};

namespace diskimage {

bool isFatBootSector(QByteArrayView sector);
// A known format mtools cannot read: its name and qemu-img's name for it.
struct Format
{
    QString name;
    QString qemuName;
};
std::optional<Format> unreadableFormat(QByteArrayView head);

struct Partition
{
    int number;       // 1 to 4
    bool active;
    unsigned type;
    qint64 startByte;
};
// The used primary entries of an MBR (none when the sector holds none).
QList<Partition> primaryPartitions(QByteArrayView sector);
bool isFatType(unsigned type);

QString convertHint(const QString &name, const QString &format, const QString &qemuFormat);

} // namespace diskimage

template <typename SectorAt>
FatVolume FatVolume::locate(QByteArrayView head, SectorAt sectorAt, qint64 size, int partition,
                            const QString &name)
{
    using namespace diskimage;
    if (head.size() < 512)
        return {-1, QStringLiteral("%1 er for lite til å være et diskbilde").arg(name)};
    if (const std::optional<Format> format = unreadableFormat(head))
        return {-1, convertHint(name, format->name, format->qemuName)};
    if (partition == 0 && isFatBootSector(head))
        return {0, QString()};
    const QList<Partition> partitions = primaryPartitions(head);
    if (partitions.isEmpty())
        return {-1, QStringLiteral("%1 inneholder ingen FAT-stasjon").arg(name)};
    const Partition *chosen = nullptr;
    if (partition != 0) {
        for (const Partition &p : partitions) {
            if (p.number == partition)
                chosen = &p;
        }
        if (!chosen)
            return {-1, QStringLiteral("%1 har ingen partisjon %2").arg(name).arg(partition)};
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
        return {-1, QStringLiteral("partisjon %1 i %2 inneholder ingen FAT-stasjon").arg(chosen->number).arg(name)};
    return {chosen->startByte, QString()};
}
