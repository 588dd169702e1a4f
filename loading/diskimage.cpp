#include "loading/diskimage.h"


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

quint32 be32(QByteArrayView s, int at)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
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

QString convertHint(const QString &name, const QString &format, const QString &qemuFormat)
{
    return QStringLiteral("%1 er et %2-bilde, som mtools ikke kan lese; gjør det om til et rått bilde, "
                          "for eksempel med: qemu-img convert -f %3 -O raw %1 %1.img")
        .arg(name, format, qemuFormat);
}

std::optional<Format> unreadableFormat(QByteArrayView head)
{
    if (head.startsWith("QFI\xfb"))
        return Format{QStringLiteral("QCOW2"), QStringLiteral("qcow2")};
    if (head.size() >= 0x44 && le32(head, 0x40) == 0xbeda107f)
        return Format{QStringLiteral("VDI"), QStringLiteral("vdi")};
    if (head.startsWith("KDMV") || head.startsWith("# Disk DescriptorFile"))
        return Format{QStringLiteral("VMDK"), QStringLiteral("vmdk")};
    // A dynamic or differencing VHD starts with a copy of its footer (disk
    // type 3 or 4); a fixed VHD has the footer only at the end and reads as
    // the raw image it is.
    if (head.startsWith("conectix") && head.size() >= 64) {
        const quint32 type = be32(head, 60);
        if (type == 3 || type == 4)
            return Format{QStringLiteral("dynamisk VHD"), QStringLiteral("vpc")};
    }
    return std::nullopt;
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
