#include "drives/diskimage.h"

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
    if (le16(s, 22) == 0)
        layout.rootCluster = le32(s, 44);
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
        partitions.append({i + 1, status == 0x80, type, qint64(start) * 512});
    }
    return partitions;
}

bool isFatType(unsigned type)
{
    return type == 0x01 || type == 0x04 || type == 0x06 || type == 0x0B || type == 0x0C || type == 0x0E;
}

} // namespace diskimage
