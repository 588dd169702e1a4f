#pragma once

#include <QByteArrayView>
#include <QString>

// What an image file is, told by its first bytes and never by its name.
// Raw covers a hard-disk image, a bare FAT volume and a fixed VHD (a raw
// image with a footer); the others are virtual-disk formats read through
// QEMU, except the differencing VHD, whose parent QEMU does not follow.
// VHDX is known only to be refused with a hint.
struct ImageFormat
{
    enum class Kind { Raw, Qcow2, DynamicVhd, DifferencingVhd, Vdi, Vmdk, VmdkDescriptor, Vhdx };
    Kind kind = Kind::Raw;

    // How the user knows it ("QCOW2", "dynamisk VHD") and QEMU's driver name.
    QString name() const;
    QString qemuDriver() const;
    bool isRaw() const { return kind == Kind::Raw; }
};

namespace imageformat {

// Enough of the start of a file to tell its format (the first 512 bytes;
// a VDI's header reaches 0x180).
constexpr int kHeadBytes = 512;

ImageFormat recognise(QByteArrayView head);

// The size of the disk inside, from the header; 0 when the header does not
// tell (a VMDK descriptor adds its extents' sizes instead).
qint64 virtualSize(const ImageFormat &format, QByteArrayView head);

// A QCOW2 header's facts that decide whether it can be read.
struct Qcow2Header
{
    quint32 version = 0;
    quint32 cryptMethod = 0;
    quint64 backingOffset = 0; // where the parent's name is kept, 0 for none
    quint32 backingLength = 0;
    quint32 l1Entries = 0;     // the top table of the cluster map
    quint64 l1Offset = 0;
};
Qcow2Header qcow2Header(QByteArrayView head);

// A VDI whose image type is a VirtualBox snapshot's difference image.
bool isDifferencingVdi(QByteArrayView head);

// KDMV: where the embedded descriptor is (bytes), 0 when none.
struct VmdkDescriptorPlace
{
    qint64 offset = 0;
    qint64 length = 0;
};
VmdkDescriptorPlace vmdkDescriptorPlace(QByteArrayView head);

} // namespace imageformat
