#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdio>
#include <vector>

// Writes JSON as it goes, laid out as Qt's indented documents are (four
// blanks a level), so a report of hundreds of thousands of lines never has
// to exist as a whole in memory. Every control character, C1 included, is
// written escaped, so no byte of a file can act as a terminal escape.
class JsonWriter
{
public:
    explicit JsonWriter(std::FILE *out) : m_out(out) {}
    ~JsonWriter() { flush(); }
    JsonWriter(const JsonWriter &) = delete;
    JsonWriter &operator=(const JsonWriter &) = delete;

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    // The name of the object member whose value comes next.
    void key(QStringView name);
    void value(bool b);
    void value(qint64 n);
    void value(QStringView text);
    // Windows-1252 bytes, written as value(ansi::decode(bytes)) writes them
    // but straight from the bytes, through one table.
    void value1252(QByteArrayView bytes);
    void null();

    void flush();

private:
    void open(char bracket);
    void close(char bracket);
    void beforeValue();
    void indent(std::size_t level);
    void string(QStringView text);
    // The JSON form of `text` inside its quotes, as UTF-8.
    static void appendEscaped(QByteArray &out, QStringView text);
    void spill();

    std::FILE *m_out;
    QByteArray m_buffer;
    std::vector<bool> m_empty; // per open container: nothing written in it yet
    bool m_afterKey = false;
};
