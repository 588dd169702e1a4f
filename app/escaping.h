#pragma once

#include <QString>
#include <QStringView>

// The one rule for what the program's output escapes, in JSON strings and in
// terminal lines alike: the C0 and C1 control characters and DEL, so no byte
// of a start-up file can act on a terminal or break a line of output.
constexpr bool isControlCharacter(char16_t u)
{
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

// The text for a terminal: a line break as \n, every other control
// character as \xNN.
QString visible(QStringView text);
