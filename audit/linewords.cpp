#include "audit/linewords.h"

#include "drives/ansitext.h"

namespace linewords {

const std::array<char, 256> kUpper = [] {
    std::array<char, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[static_cast<size_t>(i)] = ansi::upperByte(static_cast<char>(i));
    return table;
}();

QByteArrayView trimLeft(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return text.sliced(i);
}

QByteArrayView trimmed(QByteArrayView text)
{
    text = trimLeft(text);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool equalsUpper(QByteArrayView text, const char *upperWord, qsizetype length)
{
    if (text.size() != length)
        return false;
    for (qsizetype i = 0; i < length; ++i) {
        if (upper(text[i]) != upperWord[i])
            return false;
    }
    return true;
}

QByteArrayView firstWord(QByteArrayView text, const Stops &stops)
{
    qsizetype i = 0;
    while (i < text.size() && !stops.contains(text[i]))
        ++i;
    return text.first(i);
}

QList<QByteArrayView> words(QByteArrayView text, const Stops &separators)
{
    QList<QByteArrayView> result;
    while (true) {
        while (!text.isEmpty() && separators.contains(text.front()))
            text = text.sliced(1);
        if (text.isEmpty())
            return result;
        const QByteArrayView word = firstWord(text, separators);
        result.append(word);
        text = text.sliced(word.size());
    }
}

QByteArrayView leadingLetters(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')))
        ++i;
    return text.first(i);
}

bool splitKeyValue(QByteArrayView line, QByteArrayView *key, QByteArrayView *value)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return false;
    *key = trimmed(line.first(equals));
    *value = trimmed(line.sliced(equals + 1));
    return true;
}

qsizetype lastSeparator(QByteArrayView path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (path[i] == '\\' || path[i] == '/')
            return i;
    }
    return -1;
}

bool hasDirectory(QByteArrayView name)
{
    for (const char c : name) {
        if (c == '\\' || c == '/' || c == ':')
            return true;
    }
    return false;
}

} // namespace linewords
