#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Reads the lines of a text held in memory. A line ends at CR LF, LF or a lone
// CR; a last line without a break counts; a break at the very end of the text
// does not start another line. Bytes are taken as they are.
class LineReader
{
public:
    explicit LineReader(QByteArrayView text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    // How far the lines read so far reach, their breaks included.
    qsizetype position() const { return m_pos; }

    // Where the next line starts and how long it is, without its break.
    // At the end of the text it gives an empty line and stays at the end.
    struct Span
    {
        qsizetype start;
        qsizetype length;
    };
    Span nextSpan();

    QByteArray readLine();

private:
    QByteArrayView m_text;
    qsizetype m_pos = 0;
};
