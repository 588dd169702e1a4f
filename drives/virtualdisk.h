#pragma once

#include "drives/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

// A span of bytes on a disk.
struct ByteRange
{
    qint64 start = 0;
    qint64 length = 0;
    qint64 end() const { return start + length; }
};

// The disk inside an image file as the bytes a raw image of it would hold,
// kept in anonymous memory that belongs to this process (a memfd): no file
// is created anywhere. Only the ranges asked for are filled; the rest reads
// as zeros. Helper programs read it through procPath().
class VirtualDisk
{
public:
    // What is unpacked of one disk at most. The boot sector, the FATs, the
    // directories and the start-up files of a Windows 95/98 drive take a
    // few megabytes; a disk whose files claim more is a hostile one.
    static constexpr qint64 kMostUnpacked = qint64(256) << 20;

    // Fills the missing ranges (sorted, aligned to the granule) of the disk
    // whose bytes start at `disk`.
    using Filler = std::function<Result<bool>(const QList<ByteRange> &missing, char *disk)>;

    // `name` names the image in the line that says too much was asked for.
    static Result<std::unique_ptr<VirtualDisk>> create(qint64 size, qint64 granule, Filler filler,
                                                       const QString &name = QString());
    ~VirtualDisk();
    VirtualDisk(const VirtualDisk &) = delete;
    VirtualDisk &operator=(const VirtualDisk &) = delete;

    qint64 size() const { return m_size; }
    QString procPath() const;

    // Makes sure the ranges hold the image's bytes; fails rather than fill
    // more than kMostUnpacked in all.
    Result<bool> ensure(QList<ByteRange> ranges);
    // Bytes of the disk (filled first); fewer past its end.
    Result<QByteArray> read(qint64 offset, qint64 length);

    // How many bytes were filled so far.
    qint64 filledBytes() const;

private:
    VirtualDisk(int fd, char *disk, qint64 size, qint64 granule, Filler filler, QString name);

    int m_fd;
    char *m_disk;
    qint64 m_size;
    qint64 m_granule;
    Filler m_filler;
    QString m_name;
    QList<ByteRange> m_filled; // sorted, not touching one another
};
