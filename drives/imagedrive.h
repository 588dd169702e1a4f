#pragma once

#include "drives/diskimage.h"
#include "drives/drive.h"
#include "drives/imagedisk.h"

#include <QHash>
#include <QSet>

#include <memory>

struct BoundedCommand;

// A drive read straight from an emulator's disk image through GNU mtools:
// never mounted, never written. The image may be raw (a hard disk, a bare
// volume, a fixed VHD) or a virtual-disk format QEMU reads (see ImageDisk).
// mtools runs with an argument list, a time limit and its user settings
// shut out, on the file that was checked when the drive was opened, so only
// the image decides what is read. There is no host file behind a name, so
// nothing can be started from it.
class ImageDrive : public Drive
{
public:
    // How long a helper program may take before it is stopped.
    struct Limits
    {
        int mtoolsMs = 15000;
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

    Result<QByteArray> readFile(const QStringList &components) const override;
    bool fileExists(const QStringList &components) const override;
    Result<QList<DirEntry>> listDirectory(const QStringList &components) const override;
    std::optional<QString> hostFile(const QStringList &) const override { return std::nullopt; }

    // "::/WINDOWS/WIN.INI": how mtools names a path on the volume.
    static QString mtoolsPath(const QStringList &components);

    // The image's bytes unpacked into memory so far (0 for a raw image).
    qint64 unpackedBytes() const { return m_disk->filledBytes(); }

private:
    ImageDrive(std::unique_ptr<ImageDisk> disk, qint64 offset, diskimage::FatLayout layout, Limits limits);

    BoundedCommand mtools(const QString &tool, const QStringList &arguments) const;
    void forgetListings() const override { m_entries.clear(); }

    // A directory's entries as mdir lists them.
    struct Entries
    {
        QList<DirEntry> list;
        bool absent = false; // the directory does not exist
        QString failure;     // why it could not be listed otherwise
    };
    const Entries &entriesOf(const QStringList &directory) const;
    // What the path's directory, listed in this pass, shows of it: a file
    // (1), a directory (0) or nothing (-1). Unknown outside a pass, when the
    // directory could not be listed, and for a name that may be another
    // spelling of an entry (a short name, letters beyond ASCII).
    std::optional<int> listedKind(const QStringList &components) const;
    bool knownAbsent(const QStringList &components) const { return listedKind(components) == -1; }
    static bool mayBeAlias(const QString &key);
    // Whether the path names a file (1), a directory (0) or nothing (-1).
    int kindOf(const QStringList &components, Failed *why) const;

    // What a virtual disk must hold before mtools can find a path: the
    // clusters of each directory on the way (`withLast`: the last
    // component's too), unpacked from the image.
    using Chains = QHash<QString, QList<ByteRange>>;
    Result<bool> unpackDirectories(const QStringList &components, bool withLast) const;
    // The clusters of a file or directory, as its directory's listing gives
    // them (one mshowfat per directory), else as mshowfat gives them for
    // the path itself (a short name, a name spelled differently).
    Result<QList<ByteRange>> chainOf(const QStringList &components) const;
    const Chains &listing(const QStringList &directory) const;
    QList<ByteRange> rootChain() const;
    QList<ByteRange> clusterRanges(QStringView spans) const;

    std::unique_ptr<ImageDisk> m_disk;
    qint64 m_offset;
    diskimage::FatLayout m_layout;
    Limits m_limits;
    mutable QSet<QString> m_unpackedDirectories;
    mutable QHash<QString, Chains> m_listings;
    mutable QSet<QString> m_unlisted; // directories mshowfat could not list
    mutable QSet<QString> m_missing;  // paths mshowfat found nothing at
    mutable QHash<QString, Entries> m_entries; // in a pass
    mutable Entries m_uncached;
};
