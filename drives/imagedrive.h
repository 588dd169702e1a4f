#pragma once

#include "drives/diskimage.h"
#include "drives/drive.h"
#include "drives/fatreader.h"
#include "drives/imagedisk.h"

#include <QHash>

#include <functional>
#include <memory>
#include <optional>

// A drive read straight from an emulator's disk image: never mounted, never
// written. The image may be raw (a hard disk, a bare volume, a fixed VHD) or
// a virtual-disk format QEMU reads (see ImageDisk). Its FAT volume is read by
// this program (see FatReader) from the file that was checked when the drive
// was opened, so only the image decides what is read and no helper runs for
// a directory or a file. There is no host file behind a name, so nothing can
// be started from it.
class ImageDrive : public Drive
{
public:
    // How long QEMU may take before it is stopped.
    struct Limits
    {
        int qemuMs = 30000;
    };

    // Opens the FAT volume of an image (partition 0: the active FAT one, or
    // the image itself when it is a bare volume), or says in one line why
    // it cannot: the image holds none, its format is damaged or refused, a
    // parent is missing, or a helper failed.
    // `image` as the host spells it (bytes that need not be UTF-8), or as text.
    static Result<std::shared_ptr<ImageDrive>> open(const QByteArray &image, int partition, const Limits &limits);
    static Result<std::shared_ptr<ImageDrive>> open(const QString &image, int partition, const Limits &limits);
    static Result<std::shared_ptr<ImageDrive>> open(const QByteArray &image, int partition);
    static Result<std::shared_ptr<ImageDrive>> open(const QString &image, int partition);
    // A drive of an image opened already; drives of one image share it.
    static Result<std::shared_ptr<ImageDrive>> open(std::shared_ptr<ImageDisk> disk, int partition);

    Result<QByteArray> readFile(const QStringList &components) const override;
    bool fileExists(const QStringList &components) const override;
    Result<QList<DirEntry>> listDirectory(const QStringList &components) const override;
    std::optional<QString> hostFile(const QStringList &) const override { return std::nullopt; }

    // The image's bytes unpacked into memory so far (0 for a raw image).
    qint64 unpackedBytes() const { return m_disk->filledBytes(); }

private:
    ImageDrive(std::shared_ptr<ImageDisk> disk, qint64 offset, diskimage::FatLayout layout);

    void forgetListings() const override;
    // The bytes of the disk's ranges, one after the other.
    Result<QByteArray> readRanges(const QList<ByteRange> &ranges) const;
    // Outside a pass nothing read is kept: the next question sees the image
    // as it then is.
    void forgetOutsidePass() const;

    // A directory's entries, or why there are none.
    struct Listing
    {
        QList<FatEntry> entries;
        std::optional<Failed> failure;
    };
    // The entries of the directory a path names; kept for the pass.
    Listing directoryAt(const QStringList &components) const;
    // A directory's listing as this pass keeps it under `key`, else read.
    Listing listed(const QString &key, const std::function<Result<QList<FatEntry>>()> &read) const;
    // The entry a path names.
    Result<FatEntry> entryAt(const QStringList &components) const;

    std::shared_ptr<ImageDisk> m_disk;
    mutable FatReader m_fat;
    mutable QHash<QString, Listing> m_directories; // in a pass, by folded path
};
