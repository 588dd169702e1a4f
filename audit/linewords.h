#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Small pieces of the syntax every start-up file shares, on Windows-1252
// bytes: blanks are spaces and tabs, keys compare without regard to case.
namespace linewords {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimLeft(QByteArrayView text);
QByteArrayView trimmed(QByteArrayView text);

// True when text equals a word given in capitals, in any case.
bool equalsUpper(QByteArrayView text, QByteArrayView upperWord);
bool endsWithUpper(QByteArrayView text, QByteArrayView upperSuffix);

// The text up to the first blank or one of stops.
QByteArrayView firstWord(QByteArrayView text, QByteArrayView stops = {});

// The non-empty pieces between blanks and the given separators.
QList<QByteArrayView> words(QByteArrayView text, QByteArrayView separators);

// The leading run of ASCII letters.
QByteArrayView leadingLetters(QByteArrayView text);

// "key = value" with both sides trimmed; false when there is no "=".
bool splitKeyValue(QByteArrayView line, QByteArrayView *key, QByteArrayView *value);

// Whether the last component of a path has an extension.
bool hasExtension(QByteArrayView name);

// Whether a name says where it is (a drive or a directory), rather than
// being looked for along a search list.
bool hasDirectory(QByteArrayView name);

} // namespace linewords
