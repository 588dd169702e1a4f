#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <string>

// The start-up files are Windows-1252 bytes. These helpers convert them for
// display one byte to one character and back, and upper-case them the way the
// PC's own code page does, without ever changing a string's length.
namespace ansi {

QString decode(QByteArrayView bytes);

// Characters outside Windows-1252 become '?'.
QByteArray encode(QStringView text);
// Where the first character outside Windows-1252 stands, or -1.
qsizetype firstUnencodable(QStringView text);

char upperByte(char byte);
QByteArray upper(QByteArray text);
// upper(encode(text)) appended to `out`, with nothing made on the way.
void appendUpper(QStringView text, std::string &out);
// upper(bytes) appended to `out`.
void appendUpper(QByteArrayView bytes, std::string &out);

} // namespace ansi
