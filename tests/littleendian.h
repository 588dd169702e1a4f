#pragma once

// Little-endian numbers appended to bytes, for the tests' writers of
// Windows file formats (registry hives, shell links).

#include <QByteArray>
#include <QtGlobal>

namespace littleendian {

inline void append32(QByteArray &out, quint32 n)
{
    for (int i = 0; i < 4; ++i)
        out.append(char(n >> (8 * i)));
}

// The formats keep names and lengths in 16 bits: refuse what does not fit.
inline void append16(QByteArray &out, qsizetype n)
{
    if (n < 0 || n > 0xFFFF)
        qFatal("%lld does not fit in 16 bits", static_cast<long long>(n));
    out.append(char(n)).append(char(n >> 8));
}

} // namespace littleendian
