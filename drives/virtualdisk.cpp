#include "drives/virtualdisk.h"

#include <QCoreApplication>

#include "drives/pinnedfile.h"

#include <algorithm>
#include <cerrno>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Sorted, with ranges that overlap or touch made one.
QList<ByteRange> merged(QList<ByteRange> ranges)
{
    std::sort(ranges.begin(), ranges.end(), [](const ByteRange &a, const ByteRange &b) { return a.start < b.start; });
    QList<ByteRange> out;
    for (const ByteRange &r : ranges) {
        if (r.length <= 0)
            continue;
        if (!out.isEmpty() && out.last().end() >= r.start)
            out.last().length = qMax(out.last().end(), r.end()) - out.last().start;
        else
            out.append(r);
    }
    return out;
}

} // namespace

Result<std::unique_ptr<VirtualDisk>> VirtualDisk::create(qint64 size, qint64 granule, Filler filler, const QString &name)
{
    const int fd = ::memfd_create("vendral-disk", MFD_CLOEXEC);
    if (fd < 0)
        return Failed{QCoreApplication::translate("drives", "fikk ikke minne til disken (memfd: feil %1)").arg(errno)};
    if (size <= 0 || ::ftruncate(fd, size) != 0) {
        ::close(fd);
        return Failed{QCoreApplication::translate("drives", "fikk ikke minne til en disk på %1 byte").arg(size)};
    }
    void *disk = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_NORESERVE, fd, 0);
    if (disk == MAP_FAILED) {
        ::close(fd);
        return Failed{QCoreApplication::translate("drives", "fikk ikke minne til en disk på %1 byte").arg(size)};
    }
    return std::unique_ptr<VirtualDisk>(new VirtualDisk(fd, static_cast<char *>(disk), size, granule, std::move(filler), name));
}

VirtualDisk::VirtualDisk(int fd, char *disk, qint64 size, qint64 granule, Filler filler, QString name)
    : m_fd(fd), m_disk(disk), m_size(size), m_granule(granule), m_filler(std::move(filler)), m_name(std::move(name))
{
}

VirtualDisk::~VirtualDisk()
{
    ::munmap(m_disk, static_cast<size_t>(m_size));
    ::close(m_fd);
}

QString VirtualDisk::procPath() const
{
    return procPathOf(m_fd);
}

qint64 VirtualDisk::filledBytes() const
{
    qint64 total = 0;
    for (const ByteRange &r : m_filled)
        total += r.length;
    return total;
}

Result<bool> VirtualDisk::ensure(QList<ByteRange> ranges)
{
    // Whole granules inside the disk, sorted and merged.
    for (ByteRange &r : ranges) {
        const qint64 start = qBound<qint64>(0, r.start, m_size) / m_granule * m_granule;
        const qint64 end = qMin(m_size, (qBound<qint64>(0, r.end(), m_size) + m_granule - 1) / m_granule * m_granule);
        r = {start, end - start};
    }
    const QList<ByteRange> wanted = merged(std::move(ranges));
    QList<ByteRange> missing;
    auto filled = m_filled.cbegin();
    for (const ByteRange &r : wanted) {
        qint64 at = r.start;
        while (at < r.end()) {
            while (filled != m_filled.cend() && filled->end() <= at)
                ++filled;
            if (filled != m_filled.cend() && filled->start <= at) {
                at = filled->end();
                continue;
            }
            const qint64 end = qMin(r.end(), filled == m_filled.cend() ? r.end() : filled->start);
            if (!missing.isEmpty() && missing.last().end() >= at)
                missing.last().length = qMax(missing.last().end(), end) - missing.last().start;
            else
                missing.append({at, end - at});
            at = end;
        }
    }
    if (missing.isEmpty())
        return true;
    qint64 more = 0;
    for (const ByteRange &r : missing)
        more += r.length;
    if (filledBytes() + more > kMostUnpacked) {
        return Failed{QCoreApplication::translate("drives", "%1 ber om mer enn %2 MiB av disken, mer enn noen oppstart trenger; vendral leser "
                                     "ikke videre")
                          .arg(m_name)
                          .arg(kMostUnpacked >> 20)};
    }
    // The pages are made in one go, not one fault at a time as they are
    // written (a fault per page is slow in a virtual machine); a kernel
    // older than 5.14 does without.
    for (const ByteRange &r : missing)
        ::madvise(m_disk + r.start, static_cast<size_t>(r.length), MADV_POPULATE_WRITE);
    const Result<bool> done = m_filler(missing, m_disk);
    if (!done)
        return done;
    m_filled = merged(m_filled + missing);
    return true;
}

Result<QByteArray> VirtualDisk::read(qint64 offset, qint64 length)
{
    if (offset < 0 || offset >= m_size || length <= 0)
        return QByteArray();
    length = qMin(length, m_size - offset);
    const Result<bool> done = ensure({{offset, length}});
    if (!done)
        return Failed{done.reason()};
    return QByteArray(m_disk + offset, static_cast<qsizetype>(length));
}
