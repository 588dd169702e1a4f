#include "drives/vmdkmap.h"

#include "drives/byteorder.h"

namespace vmdkmap {
namespace {

using byteorder::le32;
using byteorder::le64;

constexpr quint32 kCompressedGrains = 1u << 16;
constexpr quint32 kZeroGrains = 1u << 2; // a table entry of 1 is a grain of zeros
constexpr quint32 kZeroedGrain = 1;
// What QEMU takes: a grain of at most 1 GiB, a grain table of at most 512 Ki
// entries, a grain directory of at most 128 Mi entries.
constexpr quint64 kLargestGrainSectors = quint64(1) << 21;
constexpr quint64 kLargestTable = quint64(512) << 10;
constexpr quint64 kLargestDirectory = quint64(128) << 20;
constexpr quint64 kLargestCapacity = quint64(1) << 50; // sectors

} // namespace

std::optional<DiskMap> map(std::shared_ptr<PinnedFile> file, QByteArrayView head)
{
    if (head.size() < 80 || !head.startsWith("KDMV"))
        return std::nullopt;
    const quint32 version = le32(head, 4);
    const quint32 flags = le32(head, 8);
    const quint64 capacity = le64(head, 12); // sectors
    const quint64 grain = le64(head, 20);    // sectors
    const quint32 tableEntries = le32(head, 44);
    const quint64 directoryAt = le64(head, 56); // sectors
    if (version == 0 || version > 3 || (flags & kCompressedGrains) || grain == 0 || grain > kLargestGrainSectors
        || tableEntries == 0 || tableEntries > kLargestTable || capacity == 0 || capacity > kLargestCapacity)
        return std::nullopt;
    const quint64 grainBytes = grain * 512;
    const quint64 tableSpan = grain * tableEntries; // sectors one table covers
    const quint64 tables = (capacity + tableSpan - 1) / tableSpan;
    const qint64 fileSize = file->size();
    if (tables > kLargestDirectory || directoryAt == 0 || directoryAt > quint64(fileSize) / 512)
        return std::nullopt;
    const QByteArray directory = file->readAt(qint64(directoryAt * 512), qint64(tables * 4));
    if (directory.size() != qint64(tables * 4))
        return std::nullopt;

    DiskMap map;
    map.files.push_back(file);
    const qint64 diskBytes = qint64(capacity * 512);
    // Tables of a sound file lie apart, so they hold no more entries than
    // the file has room for; more is a directory that names one table many
    // times, and would be read for ever.
    quint64 entriesRead = 0;
    for (quint64 t = 0; t < tables; ++t) {
        const quint32 tableAt = le32(directory, qsizetype(t * 4));
        if (tableAt == 0)
            continue; // the whole span reads as zeros
        entriesRead += tableEntries;
        if (quint64(tableAt) > quint64(fileSize) / 512 || entriesRead > quint64(fileSize) / 4)
            return std::nullopt;
        const QByteArray table = file->readAt(qint64(tableAt) * 512, qint64(tableEntries) * 4);
        if (table.size() != qint64(tableEntries) * 4)
            return std::nullopt;
        for (quint32 e = 0; e < tableEntries; ++e) {
            const quint32 grainAt = le32(table, qsizetype(e) * 4);
            if (grainAt == 0 || ((flags & kZeroGrains) && grainAt == kZeroedGrain))
                continue;
            const quint64 index = t * tableEntries + e;
            if (index >= (capacity + grain - 1) / grain)
                break;
            const qint64 start = qint64(index * grainBytes);
            const qint64 length = qMin(qint64(grainBytes), diskBytes - start);
            const qint64 offset = qint64(grainAt) * 512;
            if (!map.extents.isEmpty()) {
                DiskMap::Extent &last = map.extents.last();
                if (last.end() == start && last.offset + last.length == offset) {
                    last.length += length;
                    continue;
                }
            }
            if (map.extents.size() >= kMostMapExtents)
                return std::nullopt;
            map.extents.append({start, length, 0, offset});
        }
    }
    return map;
}

} // namespace vmdkmap
