#pragma once

#include "drives/diskmap.h"
#include "drives/imageformat.h"
#include "drives/pinnedfile.h"
#include "drives/relatedfile.h"
#include "drives/result.h"
#include "drives/virtualdisk.h"
#include "drives/vmdkdescriptor.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// A virtual-disk image (QCOW2, dynamic VHD, VDI, VMDK) read with QEMU's
// qemu-img. Every file the image consists of (its parents, a VMDK's extent
// files) is opened and checked here first (see relatedfile) and handed to
// QEMU by descriptor, with its format named: QEMU probes nothing and follows
// no name itself. Each layer names its parent explicitly, or none, and a
// VMDK descriptor is handed over rewritten to name those descriptors.
// qemu-img is always asked to share the image (-U), so an emulator that has
// it open keeps running undisturbed.
class QemuImage
{
public:
    static Result<QemuImage> open(std::shared_ptr<PinnedFile> image, const ImageFormat &format, QByteArrayView head);

    qint64 size() const { return m_size; }
    // Whether the image is the one file it was opened from: no parent, no parts.
    bool isOneFile() const { return m_files.size() == 1; }

    // Where the disk's bytes lie in the image's files, as qemu-img map tells
    // it; nothing when some are kept compressed, which only an unpacking
    // reader can give (a QCOW2 that says so is not asked).
    Result<std::optional<DiskMap>> map(int timeLimitMs) const;
    // Fills a virtual disk by having qemu-img convert the missing ranges.
    VirtualDisk::Filler converter(int timeLimitMs) const;

    // The failure of a qemu-img run on this image, as one line.
    Failed failure(const QString &qemuError) const;

private:
    using Options = QList<std::pair<QString, QString>>;
    Result<bool> addLayer(const QString &prefix, std::shared_ptr<PinnedFile> file, const ImageFormat &format,
                          QByteArrayView head, int depth);
    // A VMDK's descriptor: its own file's, or the one a sparse VMDK holds.
    Result<vmdkdescriptor::Descriptor> descriptorOf(const PinnedFile &file, const ImageFormat &format,
                                                    QByteArrayView head) const;
    // A part of a VMDK, opened and checked for what its type says it is.
    Result<std::shared_ptr<PinnedFile>> openPart(const PinnedFile &from, const vmdkdescriptor::Extent &extent);
    QString options(const QString &prefix) const;

    QString m_name;      // the image's file name, for messages
    ImageFormat m_format;
    relatedfile::Home m_home; // where raw parts and parents may lie
    qint64 m_size = 0;
    bool m_compressed = false; // a QCOW2 layer keeps clusters compressed
    Options m_options;   // QEMU's --image-opts, without a prefix
    std::vector<std::shared_ptr<PinnedFile>> m_files;
    std::vector<std::shared_ptr<MemoryFile>> m_descriptors;
};
