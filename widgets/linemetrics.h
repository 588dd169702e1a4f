#pragma once

#include <QByteArrayView>
#include <QFont>

#include <array>

// Pixel widths of Windows-1252 lines in one font, from a table of each byte's
// advance: lines are measured in one pass over their bytes, and the part of a
// long line that falls on screen is found without laying out the rest. The
// widths are what the characters advance without kerning, which is never less
// than the drawn text needs. A control character (a tab, say) is drawn as a
// blank as wide as its table entry.
class LineMetrics
{
public:
    explicit LineMetrics(const QFont &font);

    qreal width(QByteArrayView line) const;
    qreal advance(char c) const { return qreal(m_advance[static_cast<unsigned char>(c)]) / kUnit; }
    static bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; }

    // The byte at which text drawn from x = 0 reaches past x, and where that
    // byte begins; the line's size and its width when it ends before x.
    struct Position
    {
        qsizetype byte;
        qreal x;
    };
    Position byteAt(QByteArrayView line, qreal x) const;

private:
    static constexpr int kUnit = 64; // advances are kept in 1/64 pixels
    std::array<qint64, 256> m_advance{};
};
