#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The drive the PC starts from, where a path without a letter lies and the
// start-up files are read from.
constexpr char kBootDrive = 'C';
constexpr const char *kBootRoot = "C:\\";

// A DOS path taken apart by the rules of DOS and Win32: "\" and "/" separate,
// "." is ignored, ".." goes up but never above the drive root, trailing blanks
// and dots of a component are dropped. A path without a drive letter is taken
// from the root of C:.
struct DosPath
{
    QChar drive;            // upper-case letter
    QStringList components; // from the root, decoded from Windows-1252

    static DosPath parse(QByteArrayView path);
    // The path as DOS shows it, for messages: "C:\WINDOWS\WIN.INI".
    QString display() const;
};
