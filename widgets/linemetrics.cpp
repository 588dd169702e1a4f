#include "widgets/linemetrics.h"

#include "drives/ansitext.h"

#include <QFontMetricsF>

#include <cmath>

LineMetrics::LineMetrics(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const qreal space = metrics.horizontalAdvance(QLatin1Char(' '));
    for (int byte = 0; byte < 256; ++byte) {
        const char c = char(byte);
        // A tab is as wide as four blanks; other control characters take no room.
        const qreal advance = c == '\t' ? 4 * space
                            : isControl(c) ? 0
                                           : metrics.horizontalAdvance(ansi::decode(QByteArrayView(&c, 1)));
        m_advance[size_t(byte)] = qint64(std::ceil(std::max<qreal>(advance, 0) * kUnit));
    }
}

qreal LineMetrics::width(QByteArrayView line) const
{
    qint64 sum = 0;
    for (const char c : line)
        sum += m_advance[static_cast<unsigned char>(c)];
    return qreal(sum) / kUnit;
}

LineMetrics::Position LineMetrics::byteAt(QByteArrayView line, qreal x) const
{
    const qint64 target = qint64(std::floor(x * kUnit));
    qint64 sum = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const qint64 next = sum + m_advance[static_cast<unsigned char>(line[i])];
        if (next > target)
            return {i, qreal(sum) / kUnit};
        sum = next;
    }
    return {line.size(), qreal(sum) / kUnit};
}
