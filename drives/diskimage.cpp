#include "drives/diskimage.h"

#include <QCoreApplication>

namespace diskimage {
namespace {

unsigned le16(QByteArrayView s, int at)
{
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

quint32 le32(QByteArrayView s, int at)
{
    return le16(s, at) | static_cast<quint32>(le16(s, at + 2)) << 16;
}

bool hasBootSignature(QByteArrayView s)
{
    return s.size() >= 512 && static_cast<unsigned char>(s[510]) == 0x55 && static_cast<unsigned char>(s[511]) == 0xAA;
}

} // namespace

bool isFatBootSector(QByteArrayView s)
{
    if (s.size() < 512)
        return false;
    const unsigned char jump = static_cast<unsigned char>(s[0]);
    if (jump != 0xEB && jump != 0xE9)
        return false;
    const unsigned bytesPerSector = le16(s, 11);
    const unsigned sectorsPerCluster = static_cast<unsigned char>(s[13]);
    const unsigned reserved = le16(s, 14);
    const unsigned fats = static_cast<unsigned char>(s[16]);
    const bool powerOfTwo = sectorsPerCluster != 0 && (sectorsPerCluster & (sectorsPerCluster - 1)) == 0;
    return (bytesPerSector == 512 || bytesPerSector == 1024 || bytesPerSector == 2048 || bytesPerSector == 4096)
           && powerOfTwo && reserved >= 1 && (fats == 1 || fats == 2);
}

std::optional<FatLayout> fatLayout(QByteArrayView s)
{
    if (!isFatBootSector(s))
        return std::nullopt;
    const qint64 bytesPerSector = le16(s, 11);
    const qint64 sectorsPerCluster = static_cast<unsigned char>(s[13]);
    const qint64 reserved = le16(s, 14);
    const qint64 fats = static_cast<unsigned char>(s[16]);
    const qint64 rootEntries = le16(s, 17);
    const qint64 fatSectors = le16(s, 22) != 0 ? le16(s, 22) : le32(s, 36);
    const qint64 rootSectors = (rootEntries * 32 + bytesPerSector - 1) / bytesPerSector;
    FatLayout layout;
    layout.systemBytes = (reserved + fats * fatSectors + rootSectors) * bytesPerSector;
    layout.clusterBytes = sectorsPerCluster * bytesPerSector;
    layout.fatStart = reserved * bytesPerSector;
    layout.totalBytes = (le16(s, 19) != 0 ? qint64(le16(s, 19)) : qint64(le32(s, 32))) * bytesPerSector;
    layout.fatBytes = fatSectors * bytesPerSector;
    layout.rootStart = layout.fatStart + fats * layout.fatBytes;
    layout.rootBytes = rootSectors * bytesPerSector;
    if (layout.totalBytes > layout.systemBytes)
        layout.clusterCount = quint32(qMin<qint64>((layout.totalBytes - layout.systemBytes) / layout.clusterBytes, 0x0FFFFFF0));
    // FAT32 says so by a zero in the FAT12/16 size field; the others are
    // told apart by their number of clusters.
    if (le16(s, 22) == 0) {
        layout.fatBits = 32;
        layout.rootCluster = le32(s, 44);
    } else {
        layout.fatBits = layout.clusterCount < 4085 ? 12 : 16;
    }
    return layout;
}

QList<Partition> primaryPartitions(QByteArrayView s)
{
    QList<Partition> partitions;
    if (!hasBootSignature(s))
        return partitions;
    for (int i = 0; i < 4; ++i) {
        const int at = 446 + 16 * i;
        const unsigned status = static_cast<unsigned char>(s[at]);
        const unsigned type = static_cast<unsigned char>(s[at + 4]);
        if (status != 0x00 && status != 0x80)
            return {}; // no partition table
        const quint32 start = le32(s, at + 8);
        const quint32 sectors = le32(s, at + 12);
        if (type == 0 || sectors == 0)
            continue;
        partitions.append({i + 1, status == 0x80, type, qint64(start) * 512, qint64(sectors) * 512});
    }
    return partitions;
}

bool isFatType(unsigned type)
{
    return type == 0x01 || type == 0x04 || type == 0x06 || type == 0x0B || type == 0x0C || type == 0x0E;
}

bool isExtendedType(unsigned type)
{
    return type == 0x05 || type == 0x0F || type == 0x85;
}

LogicalDrives logicalPartitions(const QList<Partition> &primaries, const std::function<QByteArray(qint64)> &sectorAt,
                                qint64 size)
{
    // More than any FDISK makes: a drive letter each, and there are 26.
    constexpr int kLongestChain = 64;
    LogicalDrives result;
    const Partition *extended = nullptr;
    for (const Partition &p : primaries) {
        if (!extended && isExtendedType(p.type))
            extended = &p;
    }
    if (!extended)
        return result;
    // Each record holds a logical drive (its start counted from the record)
    // and the link to the next record (counted from the extended partition).
    QList<qint64> visited;
    qint64 record = extended->startByte;
    for (int step = 0; step <= kLongestChain; ++step) {
        if (step == kLongestChain) {
            result.problem = QCoreApplication::translate("drives", "den utvidede partisjonen i %1 har flere logiske stasjoner enn noen "
                                            "FDISK lager");
            return result;
        }
        if (record < 0 || record + 512 > size) {
            result.problem = QCoreApplication::translate("drives", "den utvidede partisjonen i %1 peker ut av disken");
            return result;
        }
        if (visited.contains(record)) {
            result.problem = QCoreApplication::translate("drives", "den utvidede partisjonen i %1 peker tilbake på seg selv");
            return result;
        }
        visited.append(record);
        const QByteArray s = sectorAt(record);
        if (!hasBootSignature(s)) {
            result.problem = QCoreApplication::translate("drives", "den utvidede partisjonen i %1 er skadet");
            return result;
        }
        const unsigned type = static_cast<unsigned char>(s[446 + 4]);
        const qint64 start = record + qint64(le32(s, 446 + 8)) * 512;
        const qint64 bytes = qint64(le32(s, 446 + 12)) * 512;
        if (type != 0 && bytes > 0) {
            if (start + bytes > size) {
                result.problem = QCoreApplication::translate("drives", "en logisk stasjon i %1 går ut over disken");
                return result;
            }
            result.partitions.append({5 + int(result.partitions.size()), false, type, start, bytes});
        }
        const unsigned nextType = static_cast<unsigned char>(s[462 + 4]);
        const quint32 next = le32(s, 462 + 8);
        if (!isExtendedType(nextType) || next == 0)
            return result;
        record = extended->startByte + qint64(next) * 512;
    }
    return result;
}

} // namespace diskimage
