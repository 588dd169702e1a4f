#include "audit/linewords.h"

#include "loading/ansitext.h"

namespace linewords {

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

bool equalsUpper(QByteArrayView text, QByteArrayView upperWord)
{
    if (text.size() != upperWord.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (ansi::upperByte(text[i]) != upperWord[i])
            return false;
    }
    return true;
}

bool endsWithUpper(QByteArrayView text, QByteArrayView upperSuffix)
{
    return text.size() >= upperSuffix.size() && equalsUpper(text.last(upperSuffix.size()), upperSuffix);
}

QByteArrayView firstWord(QByteArrayView text, QByteArrayView stops)
{
    qsizetype i = 0;
    while (i < text.size() && !isBlank(text[i]) && !stops.contains(text[i]))
        ++i;
    return text.first(i);
}

QList<QByteArrayView> words(QByteArrayView text, QByteArrayView separators)
{
    QList<QByteArrayView> result;
    while (true) {
        while (!text.isEmpty() && (isBlank(text.front()) || separators.contains(text.front())))
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

bool hasExtension(QByteArrayView name)
{
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        if (name[i] == '.')
            return true;
        if (name[i] == '\\' || name[i] == '/' || name[i] == ':')
            return false;
    }
    return false;
}

bool hasDirectory(QByteArrayView name)
{
    return name.contains('\\') || name.contains('/') || name.contains(':');
}

} // namespace linewords
