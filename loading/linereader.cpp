#include "linereader.h"

LineReader::Span LineReader::nextSpan()
{
    const qsizetype size = m_text.size();
    if (m_pos >= size)
        return {size, 0};
    const char *data = m_text.data();
    const qsizetype start = m_pos;
    qsizetype end = start;
    while (end < size && data[end] != '\n' && data[end] != '\r')
        ++end;
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
