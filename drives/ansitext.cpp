#include "drives/ansitext.h"

#include <algorithm>
#include <array>
#include <optional>

namespace ansi {
namespace {

// 0x80..0x9F; the five bytes Windows-1252 leaves undefined map to the C1
// control of the same number, so every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::array<unsigned char, 256> makeUpperTable()
{
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = static_cast<unsigned char>(c - 0x20);
    for (int c = 0xE0; c <= 0xFE; ++c) {
        if (c != 0xF7) // the division sign has no capital
            table[c] = static_cast<unsigned char>(c - 0x20);
    }
    table[0x9A] = 0x8A; // š -> Š
    table[0x9C] = 0x8C; // œ -> Œ
    table[0x9E] = 0x8E; // ž -> Ž
    table[0xFF] = 0x9F; // ÿ -> Ÿ
    // ß (0xDF) and µ (0xB5) have no single-byte capital and stay.
    return table;
}

constexpr std::array<unsigned char, 256> kUpper = makeUpperTable();

QChar decodeByte(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(kHighControls[byte - 0x80]);
    return QChar(static_cast<char16_t>(byte));
}

} // namespace

QString decode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes)
        *out++ = decodeByte(static_cast<unsigned char>(c));
    return text;
}

namespace {

// The Windows-1252 byte of a character, if it has one.
std::optional<char> byteOf(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<char>(u);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == u)
            return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

} // namespace

QByteArray encode(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (const QChar ch : text)
        *out++ = byteOf(ch.unicode()).value_or('?');
    return bytes;
}

qsizetype firstUnencodable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!byteOf(text[i].unicode()))
            return i;
    }
    return -1;
}

char upperByte(char byte)
{
    return static_cast<char>(kUpper[static_cast<unsigned char>(byte)]);
}

void appendUpper(QStringView text, std::string &out)
{
    for (const QChar ch : text)
        out.push_back(static_cast<char>(kUpper[static_cast<unsigned char>(byteOf(ch.unicode()).value_or('?'))]));
}

void appendUpper(QByteArrayView bytes, std::string &out)
{
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(bytes.size()));
    std::transform(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(at),
                   [](char c) { return static_cast<char>(kUpper[static_cast<unsigned char>(c)]); });
}

QByteArray upper(QByteArray text)
{
    for (char &c : text)
        c = static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
    return text;
}

} // namespace ansi
