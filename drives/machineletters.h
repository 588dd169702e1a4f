#pragma once

#include "drives/result.h"

#include <QByteArray>
#include <QChar>
#include <QList>

#include <memory>

class ImageDisk;

// The drives of a machine given as its disks in order (disk 1, disk 2, ...),
// each a folder or a disk image, lettered as DOS letters them: C: is the
// active primary FAT partition of disk 1 (else its first primary FAT
// partition; a folder or a bare FAT volume is its disk's only drive); then
// the first primary FAT partition of each further disk; then the logical
// FAT drives of each disk's extended partition, disk by disk in chain order;
// then the primary FAT partitions not lettered yet.
namespace machineletters {

struct LetteredDrive
{
    QChar letter;
    QByteArray disk;   // the path as given
    int partition = 0; // 0: the folder or bare volume itself; 1-4 primary, 5+ logical
    // The disk image as it was opened to letter it, to open the drive from
    // without reading the image's format again; null for a folder.
    std::shared_ptr<ImageDisk> image;

    bool isFolder() const { return image == nullptr; }
};

// Fails with one line when a disk cannot be read, its extended partition's
// chain is broken, or no disk holds a FAT drive.
Result<QList<LetteredDrive>> letter(const QList<QByteArray> &disks, int qemuTimeLimitMs = 30000);

// What a disk holds, as far as lettering goes.
struct DiskLayout
{
    bool whole = false;          // a folder or a bare FAT volume
    int active = 0;              // the active primary FAT partition, 0 when none
    QList<int> primaries;        // primary FAT partitions in table order
    QList<int> logicals;         // logical FAT drives in chain order
};
// The lettering alone: each letter with the disk (its index) and partition
// (0 for a whole disk) it names.
QList<std::pair<QChar, std::pair<int, int>>> letters(const QList<DiskLayout> &disks);

} // namespace machineletters
