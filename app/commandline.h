#pragma once

#include "drives/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What the command line asks for. Without arguments the program is just its
// window, on the host's own drives. Arguments arrive as the bytes the system
// gave them, so a folder whose name is not UTF-8 can still be named.
struct CommandLine
{
    enum class Mode { Window, Report, Check, Help, Version, Audit };

    // One --drive X=LOCATION: a directory, or a disk image (IMAGE or IMAGE#N).
    struct DriveArgument
    {
        QChar letter;
        QByteArray location;
    };

    Mode mode = Mode::Window;
    QList<DriveArgument> drives;
    // The machine's disks in order (folders or images), lettered as DOS
    // letters them; a --drive letter wins over them.
    QList<QByteArray> disks;
    QByteArray checkLine; // for --check, as Windows-1252 bytes
    bool json = false;    // --json: --audit writes JSON

    // The arguments after the program's name, or why they are unknown or
    // malformed, in one line.
    static Result<CommandLine> parse(const QList<QByteArray> &arguments);

    static QString usage();
};
