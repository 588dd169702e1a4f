#include "drives/machineletters.h"

#include "drives/diskimage.h"
#include "drives/imagedisk.h"

#include <QCoreApplication>
#include <QFile>

#include <sys/stat.h>

namespace machineletters {
namespace {

bool isDirectory(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString nameOf(const QByteArray &path)
{
    const QString decoded = QFile::decodeName(path);
    return decoded.mid(decoded.lastIndexOf(QLatin1Char('/')) + 1);
}

// `opened` gets the disk image, when the disk is one.
Result<DiskLayout> layoutOf(const QByteArray &disk, int qemuTimeLimitMs, std::shared_ptr<ImageDisk> *opened)
{
    DiskLayout layout;
    if (isDirectory(disk)) {
        layout.whole = true;
        return layout;
    }
    struct stat st;
    if (::stat(disk.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return Failed{QCoreApplication::translate("drives", "%1 er verken en mappe eller et diskbilde").arg(QFile::decodeName(disk)),
                      FailureKind::Missing};
    Result<std::unique_ptr<ImageDisk>> read = ImageDisk::open(disk, qemuTimeLimitMs);
    if (!read)
        return read.failure();
    *opened = std::move(read).value();
    ImageDisk &image = **opened;
    const Result<QByteArray> head = image.read(0, 512);
    if (!head)
        return head.failure();
    if (diskimage::isFatBootSector(*head)) {
        layout.whole = true;
        return layout;
    }
    const QList<diskimage::Partition> primaries = diskimage::primaryPartitions(*head);
    for (const diskimage::Partition &p : primaries) {
        if (!diskimage::isFatType(p.type))
            continue;
        layout.primaries.append(p.number);
        if (p.active && layout.active == 0)
            layout.active = p.number;
    }
    QString readError;
    const diskimage::LogicalDrives logical = diskimage::logicalPartitions(
        primaries,
        [&image, &readError](qint64 at) {
            const Result<QByteArray> sector = image.read(at, 512);
            if (!sector && readError.isEmpty())
                readError = sector.reason();
            return sector ? *sector : QByteArray();
        },
        image.size());
    if (!readError.isEmpty())
        return Failed{readError, FailureKind::DamagedImage};
    if (!logical.problem.isEmpty())
        return Failed{logical.problem.arg(nameOf(disk)), FailureKind::DamagedImage};
    for (const diskimage::Partition &p : logical.partitions) {
        if (diskimage::isFatType(p.type))
            layout.logicals.append(p.number);
    }
    return layout;
}

} // namespace

QList<std::pair<QChar, std::pair<int, int>>> letters(const QList<DiskLayout> &disks)
{
    QList<std::pair<QChar, std::pair<int, int>>> out;
    QList<std::pair<int, int>> taken;
    const auto give = [&](int disk, int partition) {
        const std::pair<int, int> drive{disk, partition};
        if (taken.contains(drive) || out.size() >= 24) // C: to Z:
            return;
        taken.append(drive);
        out.append({QLatin1Char(char('C' + out.size())), drive});
    };
    for (qsizetype d = 0; d < disks.size(); ++d) {
        const DiskLayout &disk = disks[d];
        if (disk.whole)
            give(int(d), 0);
        else if (d == 0 && disk.active != 0)
            give(0, disk.active);
        else if (!disk.primaries.isEmpty())
            give(int(d), disk.primaries.first());
    }
    for (qsizetype d = 0; d < disks.size(); ++d) {
        for (int logical : disks[d].logicals)
            give(int(d), logical);
    }
    for (qsizetype d = 0; d < disks.size(); ++d) {
        for (int primary : disks[d].primaries)
            give(int(d), primary);
    }
    return out;
}

Result<QList<LetteredDrive>> letter(const QList<QByteArray> &disks, int qemuTimeLimitMs)
{
    QList<DiskLayout> layouts;
    QList<std::shared_ptr<ImageDisk>> images;
    for (const QByteArray &disk : disks) {
        std::shared_ptr<ImageDisk> image;
        Result<DiskLayout> layout = layoutOf(disk, qemuTimeLimitMs, &image);
        if (!layout)
            return layout.failure();
        layouts.append(*layout);
        images.append(std::move(image));
    }
    QList<LetteredDrive> drives;
    for (const auto &[letter, drive] : letters(layouts)) {
        const auto [disk, partition] = drive;
        drives.append({letter, disks[disk], partition, images[disk]});
    }
    if (!disks.isEmpty() && drives.isEmpty())
        return Failed{QCoreApplication::translate("drives", "%1 inneholder ingen FAT-stasjon").arg(nameOf(disks.first())), FailureKind::DamagedImage};
    return drives;
}

} // namespace machineletters
