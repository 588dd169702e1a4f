#pragma once

#include "drives/diskmap.h"
#include "drives/pinnedfile.h"
#include "drives/result.h"

#include <QDeadlineTimer>
#include <QStringList>

#include <functional>
#include <memory>

// A differencing VHD (Virtual PC, Hyper-V, 86Box, DOSBox-X): a dynamic VHD
// that holds only the sectors written since it was made and takes every
// other sector from its parent. QEMU reads it as if it had no parent, so
// the sectors are sorted out here: the sector bitmap of each block says
// which are the child's own.
namespace vhddifference {

// The map of a parent (any kind of VHD), with the depth of the chain so far.
using ParentMap = std::function<Result<DiskMap>(std::shared_ptr<PinnedFile> parent, int depth)>;

// The disk of `child` (`size` bytes): the sectors it holds, the rest from
// its parent. The parent is looked for where the child's parent locators
// point (relative first, then absolute, taken next to the child when they
// name another machine's folder) and must carry the identity the child
// records for it. The work ends at `deadline`, or at kMostMapExtents pieces.
Result<DiskMap> map(std::shared_ptr<PinnedFile> child, qint64 size, const ParentMap &parentMap, int depth,
                    const QDeadlineTimer &deadline);

// Where the parent may be: the candidates in the order they are tried.
QStringList parentCandidates(const QString &childPath, QByteArrayView dynamicHeader,
                             const std::function<QByteArray(qint64 offset, qint64 length)> &readAt);

} // namespace vhddifference
