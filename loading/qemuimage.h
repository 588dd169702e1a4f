#pragma once

#include "loading/diskmap.h"
#include "loading/imageformat.h"
#include "loading/pinnedfile.h"
#include "loading/result.h"
#include "loading/virtualdisk.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// A virtual-disk image (QCOW2, dynamic VHD, VDI, VMDK) read with QEMU's
// qemu-img. Every file the image consists of (its parents, a VMDK's extent
// files) is opened and checked here first and handed to QEMU by descriptor,
// so QEMU reads the files that were checked and follows no name itself;
// a VMDK descriptor is handed over rewritten to name those descriptors.
// qemu-img is always asked to share the image (-U), so an emulator that has
// it open keeps running undisturbed.
class QemuImage
{
public:
    static Result<QemuImage> open(std::shared_ptr<PinnedFile> image, const ImageFormat &format, QByteArrayView head);

    qint64 size() const { return m_size; }

    // Where the disk's bytes lie in the image's files, as qemu-img map tells
    // it; nothing when some are kept compressed, which only QEMU can read.
    Result<std::optional<DiskMap>> map(int timeLimitMs) const;
    // Fills a virtual disk by having qemu-img convert the missing ranges.
    VirtualDisk::Filler converter(int timeLimitMs) const;

    // The failure of a qemu-img run on this image, as one line.
    Failed failure(const QString &qemuError) const;

private:
    using Options = QList<std::pair<QString, QString>>;
    Result<bool> addLayer(const QString &prefix, std::shared_ptr<PinnedFile> file, const ImageFormat &format,
                          QByteArrayView head, int depth);
    Result<QByteArray> rewriteDescriptor(const PinnedFile &file, QByteArray text, qint64 *sectors, QList<int> *extentFiles);
    Result<std::shared_ptr<PinnedFile>> openRelated(const PinnedFile &from, const QString &name, bool parent);
    QString options(const QString &prefix) const;

    QString m_name;      // the image's file name, for messages
    ImageFormat m_format;
    qint64 m_size = 0;
    Options m_options;   // QEMU's --image-opts, without a prefix
    std::vector<std::shared_ptr<PinnedFile>> m_files;
    std::vector<std::shared_ptr<MemoryFile>> m_descriptors;
};
