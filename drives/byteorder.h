#pragma once

#include <QByteArrayView>
#include <QtEndian>

// Numbers in an image's headers and tables, read where they stand; 0 when
// they would run past the end of what was read (a cut-off file).
namespace byteorder {

inline quint32 be32(QByteArrayView s, qsizetype at)
{
    return at >= 0 && s.size() >= at + 4 ? qFromBigEndian<quint32>(s.data() + at) : 0;
}

inline quint64 be64(QByteArrayView s, qsizetype at)
{
    return at >= 0 && s.size() >= at + 8 ? qFromBigEndian<quint64>(s.data() + at) : 0;
}

inline quint32 le32(QByteArrayView s, qsizetype at)
{
    return at >= 0 && s.size() >= at + 4 ? qFromLittleEndian<quint32>(s.data() + at) : 0;
}

inline quint64 le64(QByteArrayView s, qsizetype at)
{
    return at >= 0 && s.size() >= at + 8 ? qFromLittleEndian<quint64>(s.data() + at) : 0;
}

} // namespace byteorder
