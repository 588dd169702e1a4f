#include "app/jsonwriter.h"

#include "app/escaping.h"
#include "drives/ansitext.h"

#include <array>

namespace {
constexpr qsizetype kSpillAt = 1 << 16;
}

void JsonWriter::open(char bracket)
{
    beforeValue();
    m_buffer += bracket;
    m_buffer += '\n';
    m_empty.push_back(true);
}

void JsonWriter::close(char bracket)
{
    const bool empty = m_empty.back();
    m_empty.pop_back();
    if (!empty)
        m_buffer += '\n';
    indent(m_empty.size());
    m_buffer += bracket;
    if (m_empty.empty())
        m_buffer += '\n';
    spill();
}

void JsonWriter::beforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_empty.empty())
        return;
    if (!m_empty.back())
        m_buffer += ",\n";
    m_empty.back() = false;
    indent(m_empty.size());
}

void JsonWriter::indent(std::size_t level)
{
    m_buffer.append(qsizetype(level * 4), ' ');
}

void JsonWriter::key(QStringView name)
{
    beforeValue();
    string(name);
    m_buffer += ": ";
    m_afterKey = true;
}

void JsonWriter::value(bool b)
{
    beforeValue();
    m_buffer += b ? "true" : "false";
}

void JsonWriter::value(qint64 n)
{
    beforeValue();
    m_buffer += QByteArray::number(n);
}

void JsonWriter::value(QStringView text)
{
    beforeValue();
    string(text);
    spill();
}

void JsonWriter::null()
{
    beforeValue();
    m_buffer += "null";
}

void JsonWriter::value1252(QByteArrayView bytes)
{
    // Each byte's JSON form, made once by the same rules as a text's.
    static const std::array<QByteArray, 256> forms = [] {
        std::array<QByteArray, 256> table;
        for (int b = 0; b < 256; ++b)
            appendEscaped(table[std::size_t(b)], ansi::decode(QByteArray(1, char(b))));
        return table;
    }();
    static const std::array<bool, 256> asIs = [] {
        std::array<bool, 256> table{};
        for (int b = 0; b < 256; ++b)
            table[std::size_t(b)] = forms[std::size_t(b)].size() == 1 && forms[std::size_t(b)][0] == char(b);
        return table;
    }();
    beforeValue();
    m_buffer += '"';
    const char *data = bytes.data();
    qsizetype plain = 0; // start of the run not yet written
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (asIs[b])
            continue;
        m_buffer.append(data + plain, i - plain);
        m_buffer += forms[b];
        plain = i + 1;
    }
    m_buffer.append(data + plain, bytes.size() - plain);
    m_buffer += '"';
    spill();
}

void JsonWriter::string(QStringView text)
{
    m_buffer += '"';
    appendEscaped(m_buffer, text);
    m_buffer += '"';
}

void JsonWriter::appendEscaped(QByteArray &out, QStringView text)
{
    static const char hex[] = "0123456789abcdef";
    qsizetype plain = 0; // start of the run not yet written
    const auto writePlain = [&](qsizetype end) {
        if (end > plain)
            out += text.sliced(plain, end - plain).toUtf8();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const char *escape = nullptr;
        switch (u) {
        case '"': escape = "\\\""; break;
        case '\\': escape = "\\\\"; break;
        case '\b': escape = "\\b"; break;
        case '\f': escape = "\\f"; break;
        case '\n': escape = "\\n"; break;
        case '\r': escape = "\\r"; break;
        case '\t': escape = "\\t"; break;
        default: break;
        }
        const bool control = isControlCharacter(u);
        if (!escape && !control)
            continue;
        writePlain(i);
        plain = i + 1;
        if (escape) {
            out += escape;
        } else {
            const char code[] = {'\\', 'u', '0', '0', hex[(u >> 4) & 0xF], hex[u & 0xF]};
            out.append(code, sizeof code);
        }
    }
    writePlain(text.size());
}

void JsonWriter::spill()
{
    if (m_buffer.size() >= kSpillAt)
        flush();
}

void JsonWriter::flush()
{
    if (!m_buffer.isEmpty())
        std::fwrite(m_buffer.constData(), 1, static_cast<size_t>(m_buffer.size()), m_out);
    m_buffer.resize(0); // keeps its capacity for what follows
    std::fflush(m_out);
}
