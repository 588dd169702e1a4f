#include "drives/diskmap.h"

#include <QCoreApplication>

#include <algorithm>

QList<DiskMap::Extent> DiskMap::slice(qint64 from, qint64 to) const
{
    QList<Extent> out;
    auto it = std::lower_bound(extents.cbegin(), extents.cend(), from,
                               [](const Extent &e, qint64 at) { return e.end() <= at; });
    for (; it != extents.cend() && it->start < to; ++it) {
        const qint64 start = qMax(it->start, from);
        const qint64 end = qMin(it->end(), to);
        out.append({start, end - start, it->file, it->offset + (start - it->start)});
    }
    return out;
}

int DiskMap::adoptFiles(const DiskMap &other)
{
    const int first = static_cast<int>(files.size());
    files.insert(files.end(), other.files.begin(), other.files.end());
    return first;
}

bool DiskMap::aliases() const
{
    QList<Extent> byPlace = extents;
    std::sort(byPlace.begin(), byPlace.end(), [](const Extent &a, const Extent &b) {
        return a.file != b.file ? a.file < b.file : a.offset < b.offset;
    });
    for (qsizetype i = 1; i < byPlace.size(); ++i) {
        const Extent &before = byPlace[i - 1];
        if (before.file == byPlace[i].file && before.offset + before.length > byPlace[i].offset)
            return true;
    }
    return false;
}

VirtualDisk::Filler fillerFor(DiskMap map, const QString &name)
{
    return [map = std::move(map), name](const QList<ByteRange> &missing, char *disk) -> Result<bool> {
        for (const ByteRange &range : missing) {
            for (const DiskMap::Extent &e : map.slice(range.start, range.end())) {
                if (!map.files[static_cast<size_t>(e.file)]->readExactly(e.offset, disk + e.start, e.length)) {
                    return Failed{QCoreApplication::translate("drives", "%1 er avkortet: %2 slutter før byte %3")
                                      .arg(name, map.files[static_cast<size_t>(e.file)]->name())
                                      .arg(e.offset + e.length)};
                }
            }
        }
        return true;
    };
}
