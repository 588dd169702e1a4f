#pragma once

#include "drives/imageformat.h"
#include "drives/pinnedfile.h"
#include "drives/result.h"
#include "drives/virtualdisk.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// The disk inside an image file as the bytes a raw disk would hold. A raw image is that already and is read where it lies;
// any other format is unpacked, on demand, into memory of this process (see
// VirtualDisk). The image itself is opened once, read only, and never
// written.
class ImageDisk
{
public:
    // `path` as the host spells it: bytes that need not be UTF-8.
    static Result<std::unique_ptr<ImageDisk>> open(const QByteArray &path, int qemuTimeLimitMs);

    const ImageFormat &format() const { return m_format; }
    QString name() const { return m_file->name(); }
    qint64 size() const;

    Result<QByteArray> read(qint64 offset, qint64 length);
    // Makes sure the ranges hold the image's bytes, all in one go, before
    // they are read; nothing to do for a raw image.
    Result<bool> ensure(const QList<ByteRange> &ranges);
    // Bytes of the disk unpacked into memory so far.
    qint64 filledBytes() const { return m_disk ? m_disk->filledBytes() : 0; }

private:
    ImageDisk(std::shared_ptr<PinnedFile> file, ImageFormat format, std::unique_ptr<VirtualDisk> disk);

    std::shared_ptr<PinnedFile> m_file;
    ImageFormat m_format;
    std::unique_ptr<VirtualDisk> m_disk;
};
