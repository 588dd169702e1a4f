#include "drives/imageformat.h"

#include "drives/byteorder.h"

#include <QtEndian>

#include <iterator>

namespace {

using byteorder::be32;
using byteorder::be64;
using byteorder::le32;
using byteorder::le64;





constexpr quint32 kVdiSignature = 0xbeda107f;

// Sizes past this are no disk's: they come from a damaged header.
constexpr quint64 kLargestDisk = quint64(1) << 44; // 16 TiB

qint64 sane(quint64 size)
{
    return size <= kLargestDisk ? static_cast<qint64>(size) : 0;
}

} // namespace

const ImageFormat::Record &ImageFormat::record() const
{
    static constexpr Record kRecords[] = {
        {Kind::Raw, "rått", "raw", Parent::None},
        {Kind::Qcow2, "QCOW2", "qcow2", Parent::BackingName},
        {Kind::DynamicVhd, "dynamisk VHD", "vpc", Parent::None},
        {Kind::DifferencingVhd, "differanse-VHD", "vpc", Parent::Locators},
        {Kind::Vdi, "VDI", "vdi", Parent::None},
        {Kind::Vmdk, "VMDK", "vmdk", Parent::DescriptorHint},
        {Kind::VmdkDescriptor, "VMDK", "vmdk", Parent::DescriptorHint},
        {Kind::Vhdx, "VHDX", "vhdx", Parent::Refused},
    };
    static_assert(std::size(kRecords) == std::size_t(Kind::Vhdx) + 1, "one record per kind");
    static_assert([] {
        for (std::size_t i = 0; i < std::size(kRecords); ++i) {
            if (std::size_t(kRecords[i].kind) != i)
                return false;
        }
        return true;
    }(), "records in the order of Kind");
    return kRecords[std::size_t(kind)];
}

namespace imageformat {

ImageFormat recognise(QByteArrayView head)
{
    using Kind = ImageFormat::Kind;
    if (head.startsWith("QFI\xfb"))
        return {Kind::Qcow2};
    if (le32(head, 0x40) == kVdiSignature)
        return {Kind::Vdi};
    if (head.startsWith("KDMV"))
        return {Kind::Vmdk};
    if (head.startsWith("# Disk DescriptorFile"))
        return {Kind::VmdkDescriptor};
    if (head.startsWith("vhdxfile"))
        return {Kind::Vhdx};
    // A dynamic or differencing VHD starts with a copy of its footer (disk
    // type 3 or 4); a fixed VHD has the footer only at the end and reads as
    // the raw image it is.
    if (head.startsWith("conectix")) {
        const quint32 type = be32(head, 60);
        if (type == 3)
            return {Kind::DynamicVhd};
        if (type == 4)
            return {Kind::DifferencingVhd};
    }
    return {Kind::Raw};
}

qint64 virtualSize(const ImageFormat &format, QByteArrayView head)
{
    using Kind = ImageFormat::Kind;
    switch (format.kind) {
    case Kind::Qcow2:
        return sane(be64(head, 24));
    case Kind::Vdi:
        return sane(le64(head, 0x170));
    case Kind::Vmdk:
        return le64(head, 12) <= kLargestDisk / 512 ? sane(le64(head, 12) * 512) : 0;
    case Kind::DynamicVhd:
    case Kind::DifferencingVhd: {
        // QEMU takes the size from the geometry for some makers' images and
        // from the size field for others: room for the larger of the two.
        if (head.size() < 64)
            return 0;
        const quint64 chs = quint64(qFromBigEndian<quint16>(head.data() + 56)) * static_cast<unsigned char>(head[58])
                            * static_cast<unsigned char>(head[59]) * 512;
        return sane(qMax(be64(head, 48), chs));
    }
    case Kind::Raw:
    case Kind::VmdkDescriptor:
    case Kind::Vhdx:
        break;
    }
    return 0;
}

Qcow2Header qcow2Header(QByteArrayView head)
{
    Qcow2Header h;
    h.version = be32(head, 4);
    h.backingOffset = be64(head, 8);
    h.backingLength = be32(head, 16);
    h.cryptMethod = be32(head, 32);
    h.l1Entries = be32(head, 36);
    h.l1Offset = be64(head, 40);
    return h;
}

bool isDifferencingVdi(QByteArrayView head)
{
    return le32(head, 0x40) == kVdiSignature && le32(head, 0x4c) == 4;
}

VmdkDescriptorPlace vmdkDescriptorPlace(QByteArrayView head)
{
    const quint64 offset = le64(head, 28);
    const quint64 length = le64(head, 36);
    if (!head.startsWith("KDMV") || offset == 0 || length == 0 || offset > kLargestDisk / 512 || length > 2048)
        return {};
    return {static_cast<qint64>(offset * 512), static_cast<qint64>(length * 512)};
}

} // namespace imageformat
