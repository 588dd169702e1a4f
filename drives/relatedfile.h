#pragma once

#include "drives/pinnedfile.h"
#include "drives/result.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The files an image names beside itself: a parent (a QCOW2 backing file, a
// VMDK's or VHD's parent) or a part (a VMDK extent). An image may come from
// anyone, so what it names is followed only as far as a user could mean it:
// - never a protocol or pseudo-name ("nbd://", "http:", "json:{...}"), never
//   anything under /dev, /proc or /sys, never a descriptor link of /proc;
// - only a regular file, opened and checked once (see PinnedFile);
// - a raw file (a raw parent, a FLAT extent) only below the folder of the
//   image that was opened: anywhere else only a recognised image format,
//   whose identity its caller checks.
namespace relatedfile {

enum class Role { Parent, Part };

// The folders below which raw files may be read: the one the image was
// named in and the one it really lies in, links resolved.
struct Home
{
    QByteArray named;
    QByteArray real;

    static Home of(const PinnedFile &image);
    bool holds(const PinnedFile &file) const;
};

// Opens what `from` names as `name` (relative names from its folder), or
// says in one line why not.
Result<std::shared_ptr<PinnedFile>> open(const PinnedFile &from, const QByteArray &name, Role role);

// Fails when a raw file lies outside the image's home.
Result<bool> mayReadRaw(const PinnedFile &from, const PinnedFile &file, const Home &home, Role role);

// Whether QEMU would take the name for a protocol ("nbd:", "json:"): a
// colon before any slash.
bool hasProtocol(QByteArrayView name);

} // namespace relatedfile
