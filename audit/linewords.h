#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <array>
#include <cstdint>
#include <cstring>

// Small pieces of the syntax every start-up file shares, on Windows-1252
// bytes: blanks are spaces and tabs, keys compare without regard to case.
// An audit runs these over every line of files of hundreds of thousands of
// lines, so they are kept to plain loops and tables.
namespace linewords {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A set of bytes that end a word, blanks always among them.
class Stops
{
public:
    constexpr explicit Stops(const char *bytes)
    {
        add(' ');
        add('\t');
        for (; *bytes; ++bytes)
            add(*bytes);
    }
    constexpr bool contains(char c) const
    {
        const auto b = static_cast<unsigned char>(c);
        return (m_bits[b >> 6] >> (b & 63)) & 1;
    }

private:
    constexpr void add(char c)
    {
        const auto b = static_cast<unsigned char>(c);
        m_bits[b >> 6] |= std::uint64_t(1) << (b & 63);
    }
    std::uint64_t m_bits[4] = {};
};

// The Windows-1252 capital of a byte (ansi::upperByte, as a table).
extern const std::array<char, 256> kUpper;
inline char upper(char c) { return kUpper[static_cast<unsigned char>(c)]; }

// Where c first stands in the text from `from` on, or -1: one memchr, which
// a large file's every line pays for, without the general search behind
// QByteArrayView's.
inline qsizetype indexOf(QByteArrayView text, char c, qsizetype from = 0)
{
    if (from >= text.size())
        return -1;
    const auto *at = static_cast<const char *>(
        std::memchr(text.data() + from, c, static_cast<size_t>(text.size() - from)));
    return at ? at - text.data() : -1;
}

QByteArrayView trimLeft(QByteArrayView text);
QByteArrayView trimmed(QByteArrayView text);

// True when text equals a word given in capitals, in any case.
bool equalsUpper(QByteArrayView text, const char *upperWord, qsizetype length);
template <qsizetype N>
bool equalsUpper(QByteArrayView text, const char (&upperWord)[N])
{
    return text.size() == N - 1 && equalsUpper(text, upperWord, N - 1);
}
template <qsizetype N>
bool endsWithUpper(QByteArrayView text, const char (&upperSuffix)[N])
{
    return text.size() >= N - 1 && equalsUpper(text.last(N - 1), upperSuffix, N - 1);
}

// The text up to the first of stops.
QByteArrayView firstWord(QByteArrayView text, const Stops &stops);
inline constexpr Stops kBlanks("");

// The non-empty pieces between stops.
QList<QByteArrayView> words(QByteArrayView text, const Stops &separators);

// The leading run of ASCII letters.
QByteArrayView leadingLetters(QByteArrayView text);

// "key = value" with both sides trimmed; false when there is no "=".
bool splitKeyValue(QByteArrayView line, QByteArrayView *key, QByteArrayView *value);

// Where the last "\" or "/" stands, or -1.
qsizetype lastSeparator(QByteArrayView path);

// Whether a name says where it is (a drive or a directory), rather than
// being looked for along a search list.
bool hasDirectory(QByteArrayView name);

} // namespace linewords
