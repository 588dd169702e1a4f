#pragma once

#include "drives/diskmap.h"
#include "drives/pinnedfile.h"

#include <QByteArrayView>

#include <memory>
#include <optional>

// The map of a sparse VMDK of one file, read from its grain directory and
// grain tables as QEMU reads them, with no helper: a grain a table places is
// a run of the file, every other grain reads as zeros. Nothing when QEMU
// must read the file, or when anything in it is out of the ordinary:
// compressed grains (a stream-optimized VMDK), a directory kept at the end,
// a version or a table size QEMU refuses, a table outside the file. The
// caller has read the file's descriptor, which names no parent.
namespace vmdkmap {

std::optional<DiskMap> map(std::shared_ptr<PinnedFile> file, QByteArrayView head);

} // namespace vmdkmap
