#pragma once

#include <QByteArray>
#include <QByteArrayView>

class DriveMap;

// The check of the edit dialog: does the file that a line's value names exist?
struct CheckResult
{
    QByteArray path;    // the name as taken from the line
    bool found = false;
    QByteArray message; // «P finnes.» or «P finnes ikke !»
    bool runnable = false; // found, and its name ends in ".EXE"

    QByteArray runPath; // where it was found, upper-cased; empty when not found
};

// Takes the file name out of a line: drops everything through the first "=",
// cuts at the separators ",", "/", "^" and "-" (the front when the separator
// stands before the name's first ".", else the tail), and ends the name at a
// blank that follows its first ".".
QByteArray extractCheckedPath(QByteArrayView text);

// Whether a found file may be started: its own name ends in ".EXE".
bool namesAProgram(QByteArrayView path);

// Probes the name as written, under C:\WINDOWS\ and under C:\WINDOWS\SYSTEM\.
CheckResult checkLine(QByteArrayView text, const DriveMap &drives);
