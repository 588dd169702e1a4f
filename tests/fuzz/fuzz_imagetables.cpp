// libFuzzer target: the tables of a disk image that decide which files QEMU
// is let at and how much it unpacks. The first byte chooses: a VMDK
// descriptor (parsed strictly, then rewritten with the files the program
// pinned), a QCOW2 file (header, feature bits, first- and second-level
// tables, and then, as the program reads a file that passes, its first
// clusters found and inflated) or a sparse VMDK (its grain directory and
// tables, made a map). The rest of the bytes are the descriptor or the file.
#include "drives/byteorder.h"
#include "drives/pinnedfile.h"
#include "drives/qcow2map.h"
#include "drives/qcow2reader.h"
#include "drives/vmdkdescriptor.h"
#include "drives/vmdkmap.h"

#include <vector>

#include <cstdlib>

namespace {

void descriptor(const QByteArray &text)
{
    const Result<vmdkdescriptor::Descriptor> d = vmdkdescriptor::parse(text, QStringLiteral("x.vmdk"));
    if (!d) {
        if (d.reason().isEmpty())
            std::abort();
        return;
    }
    qint64 sectors = 0;
    QList<QByteArray> paths;
    for (const vmdkdescriptor::Extent &e : d->extents) {
        if (e.sectors <= 0 || e.file.isEmpty() || e.file.contains('"'))
            std::abort();
        sectors += e.sectors;
        paths.append("/proc/1/fd/" + QByteArray::number(paths.size() + 3));
    }
    if (sectors != d->sectors || d->parentHint.contains('"'))
        std::abort();
    // What QEMU gets names only the pinned files and no parent, and reads
    // back as the same extents.
    const QByteArray rewritten = vmdkdescriptor::rewritten(*d, paths);
    if (rewritten.contains("parentFileNameHint"))
        std::abort();
    const Result<vmdkdescriptor::Descriptor> again = vmdkdescriptor::parse(rewritten, QStringLiteral("x.vmdk"));
    if (!again || again->extents.size() != d->extents.size() || again->sectors != d->sectors)
        std::abort();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (again->extents[i].file != paths[i] || again->extents[i].type != d->extents[i].type)
            std::abort();
    }
}

// The bytes as a file the program has opened, as it opens an image.
std::shared_ptr<PinnedFile> pinnedCopy(const QByteArray &file)
{
    const Result<std::shared_ptr<MemoryFile>> held = MemoryFile::holding(file);
    if (!held)
        return nullptr;
    const Result<std::shared_ptr<PinnedFile>> pinned = PinnedFile::open((*held)->procPath());
    return pinned ? *pinned : nullptr;
}

void qcow2(const QByteArray &file)
{
    const auto readAt = [&file](qint64 offset, qint64 length) {
        if (offset < 0 || length < 0 || offset >= file.size())
            return QByteArray();
        return file.mid(offset, length);
    };
    const Result<qcow2map::Facts> checked = qcow2map::check(file.left(512), file.size(), readAt, QStringLiteral("x.qcow2"));
    if (!checked) {
        if (checked.reason().isEmpty())
            std::abort();
        return;
    }
    const std::shared_ptr<PinnedFile> pinned = pinnedCopy(file);
    if (!pinned)
        return;
    const std::optional<VirtualDisk::Filler> filler = qcow2reader::filler(pinned, file.left(512), QStringLiteral("x.qcow2"));
    if (!filler)
        return;
    // The first 256 KiB, a few pieces at a time, as a FAT is read.
    std::vector<char> disk(256 << 10);
    for (const ByteRange &r : {ByteRange{0, 4096}, ByteRange{4096, 61440}, ByteRange{65536, 196608}}) {
        const Result<bool> filled = (*filler)({r}, disk.data());
        if (!filled && filled.reason().isEmpty())
            std::abort();
    }
}

void sparseVmdk(const QByteArray &file)
{
    const std::shared_ptr<PinnedFile> pinned = pinnedCopy(file);
    if (!pinned)
        return;
    const std::optional<DiskMap> map = vmdkmap::map(pinned, file.left(512));
    if (!map)
        return;
    // Runs of the disk in order, none empty, none past the disk's end.
    qint64 end = 0;
    for (const DiskMap::Extent &e : map->extents) {
        if (e.start < end || e.length <= 0 || e.offset < 0 || e.file != 0)
            std::abort();
        end = e.end();
    }
    if (end > qint64(byteorder::le64(file, 12)) * 512)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    if (data[0] % 3 == 0)
        descriptor(rest);
    else if (data[0] % 3 == 1)
        qcow2(rest);
    else
        sparseVmdk(rest);
    return 0;
}
