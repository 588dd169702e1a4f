#pragma once

// Writes Windows shell links (.LNK) for tests, after Microsoft's [MS-SHLLINK]:
// a ShellLinkHeader, a LinkInfo, StringData, and the terminal block.
// All numbers are little-endian; strings are ANSI (Windows-1252) bytes.

#include "littleendian.h"

#include <QByteArray>
#include <QtGlobal>

namespace lnk {

namespace detail {

using littleendian::append16;
using littleendian::append32;

// StringData entry: a 16-bit character count, then the characters, no NUL.
inline void appendCountedString(QByteArray &out, const QByteArray &text)
{
    append16(out, text.size());
    out += text;
}

enum LinkFlag : quint32 { HasLinkInfo = 0x02, HasWorkingDir = 0x10, HasArguments = 0x20 };

} // namespace detail

// A shell link to a local file as Windows 95/98 writes one: a LinkInfo
// structure holding the local base path (ANSI, e.g. "C:\\PROGRA~1\\APP\\APP.EXE"),
// and, when not empty, the command-line arguments and the working directory as
// ANSI string data (no IsUnicode flag).
inline QByteArray write(const QByteArray &localPath, const QByteArray &arguments = {},
                        const QByteArray &workingDirectory = {})
{
    using namespace detail;
    quint32 flags = HasLinkInfo;
    if (!workingDirectory.isEmpty())
        flags |= HasWorkingDir;
    if (!arguments.isEmpty())
        flags |= HasArguments;

    // ShellLinkHeader (0x4C bytes): size, CLSID 00021401-0000-0000-C000-000000000046,
    // flags, file attributes (archive), three FILETIMEs (unset), file size,
    // icon index, show command (SW_SHOWNORMAL), hot key, reserved.
    QByteArray out;
    append32(out, 0x4C);
    out += QByteArray::fromHex("0114020000000000c000000000000046");
    append32(out, flags);
    append32(out, 0x20);
    out.append(3 * 8, '\0');
    append32(out, 0);
    append32(out, 0);
    append32(out, 1);
    out.append(2 + 2 + 4 + 4, '\0');

    // VolumeID: size, drive type (DRIVE_FIXED), serial number, offset of the
    // (empty, NUL-terminated) volume label.
    QByteArray volumeId;
    append32(volumeId, 0x11);
    append32(volumeId, 3);
    append32(volumeId, 0x1998C0DE);
    append32(volumeId, 0x10);
    volumeId.append('\0');

    // LinkInfo: size, header size (0x1C: no Unicode paths), flags
    // (VolumeIDAndLocalBasePath), offsets of VolumeID, LocalBasePath, the
    // CommonNetworkRelativeLink (none) and the (empty) CommonPathSuffix.
    constexpr quint32 linkInfoHeaderSize = 0x1C;
    const auto basePathOffset = quint32(linkInfoHeaderSize + volumeId.size());
    const auto suffixOffset = quint32(basePathOffset + localPath.size() + 1);
    append32(out, suffixOffset + 1);
    append32(out, linkInfoHeaderSize);
    append32(out, 0x01);
    append32(out, linkInfoHeaderSize);
    append32(out, basePathOffset);
    append32(out, 0);
    append32(out, suffixOffset);
    out.append(volumeId).append(localPath).append('\0').append('\0'); // path, empty suffix

    // StringData, in the format's order: working directory, then arguments.
    if (flags & HasWorkingDir)
        appendCountedString(out, workingDirectory);
    if (flags & HasArguments)
        appendCountedString(out, arguments);

    // TerminalBlock: no ExtraData.
    append32(out, 0);
    return out;
}

} // namespace lnk
