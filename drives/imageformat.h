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

    // Where a format keeps the name of the image it builds on.
    enum class Parent {
        None,          // it has none (raw, VDI, dynamic VHD)
        BackingName,   // QCOW2: a name in the header
        DescriptorHint,// VMDK: parentFileNameHint in its descriptor
        Locators,      // differencing VHD: parent locators, read by vendral itself
        Refused,       // VHDX, differencing VDI: not read at all
    };

    // One record per format: how the user knows it, QEMU's driver for it
    // and where its parent is named.
    struct Record
    {
        Kind kind;
        const char *name;       // "QCOW2", "dynamisk VHD"
        const char *qemuDriver; // "qcow2", "vpc"
        Parent parent;
    };
    const Record &record() const;

    QString name() const { return QString::fromUtf8(record().name); }
    QString qemuDriver() const { return QString::fromLatin1(record().qemuDriver); }
    Parent parent() const { return record().parent; }
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
