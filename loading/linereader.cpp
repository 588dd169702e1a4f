#include "loading/linereader.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The position of the first CR or LF at or after `from`, or `size`.
qsizetype findBreak(const char *data, qsizetype from, qsizetype size)
{
    qsizetype i = from;
#if defined(__SSE2__)
    // Sixteen bytes at a time: lines are short and files long.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf)));
        if (mask != 0)
            return i + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (i < size && data[i] != '\n' && data[i] != '\r')
        ++i;
    return i;
}

} // namespace

LineReader::Span LineReader::nextSpan()
{
    const qsizetype size = m_text.size();
    if (m_pos >= size)
        return {size, 0};
    const char *data = m_text.data();
    const qsizetype start = m_pos;
    const qsizetype end = findBreak(data, start, size);
    if (end == size)
        m_pos = size;
    else if (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n')
        m_pos = end + 2;
    else
        m_pos = end + 1;
    return {start, end - start};
}

QByteArray LineReader::readLine()
{
    const Span span = nextSpan();
    return m_text.sliced(span.start, span.length).toByteArray();
}
