#pragma once

#include "drives/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The text descriptor of a VMDK image (a file of its own, or embedded in a
// sparse one), read strictly: every line must be one this parser fully
// understands, since QEMU would follow a name in any line it reads as an
// extent or a parent. Understood are blank lines, comments, `key = value`
// settings, the extent lines QEMU reads (RW, with FLAT, VMFS or SPARSE) and
// one `parentFileNameHint="..."` line. "parentFileNameHint" anywhere else
// (QEMU finds it anywhere) is refused like any unknown line.
namespace vmdkdescriptor {

struct Extent
{
    qint64 sectors = 0;
    QByteArray type;   // FLAT, VMFS or SPARSE
    QByteArray file;   // as written, relative to the descriptor
    qint64 offset = 0; // FLAT: where in the file the extent starts, in sectors
    bool isRaw() const { return type != "SPARSE"; }
};

struct Descriptor
{
    QList<Extent> extents;
    QByteArray parentHint; // empty when the image has no parent
    QByteArray cid, parentCid;
    qint64 sectors = 0;    // of all extents
    QByteArrayList lines;  // as read, the hint and extents taken out (see rewritten)
};

// `text` up to its first NUL, as QEMU reads it. Fails with one line naming
// `imageName` and the first line not understood.
Result<Descriptor> parse(QByteArrayView text, const QString &imageName);

// The descriptor QEMU is given: the same settings, each extent naming the
// path at the same index of `paths`, and no parent name (the parent is
// handed over by the caller).
QByteArray rewritten(const Descriptor &descriptor, const QList<QByteArray> &paths);

} // namespace vmdkdescriptor
