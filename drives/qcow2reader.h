#pragma once

#include "drives/pinnedfile.h"
#include "drives/virtualdisk.h"

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

// Reads the disk of a QCOW2 file without QEMU, when QEMU would read it from
// that one file alone: no parent, no clusters compressed by anything but
// zlib, plain second-level tables. A cluster kept as it is comes from the
// file, a compressed one is inflated here, an absent one reads as zeros.
// The file has passed qcow2map::check, so its tables and clusters lie
// inside it; a compressed cluster that does not inflate to exactly one
// cluster is damage, as it is to QEMU.
namespace qcow2reader {

// The filler of such a file's disk, or nothing when QEMU must read it.
// `name` names the image in the line that says it is damaged.
std::optional<VirtualDisk::Filler> filler(std::shared_ptr<PinnedFile> file, QByteArrayView head, const QString &name);

} // namespace qcow2reader
