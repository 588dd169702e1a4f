#pragma once

#include "drives/result.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The checks a QCOW2 file passes before it is read, by QEMU or by
// qcow2reader: a header whose every incompatible feature is known (an
// external data file, which would make QEMU open another file by name, is
// refused), and a cluster map whose
// tables and clusters lie inside the file (a cut-off file fails here, not as
// a disk of zeros) with no host cluster given to two places of the disk (a
// few megabytes would otherwise unpack to gigabytes).
namespace qcow2map {

// Reads `length` bytes at `offset` of the file; fewer at its end.
using ReadAt = std::function<QByteArray(qint64 offset, qint64 length)>;

// What the check learns of a sound file.
struct Facts
{
    bool compressed = false; // some clusters are kept compressed, which qemu-img map cannot place
};

// `head` is the file's first 512 bytes, `fileSize` its size, `name` names it
// in the one line that says why it is refused.
Result<Facts> check(QByteArrayView head, qint64 fileSize, const ReadAt &readAt, const QString &name);

} // namespace qcow2map
