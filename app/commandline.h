#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for. Without arguments the program is just its
// window, on the host's own drives.
struct CommandLine
{
    enum class Mode { Window, Report, Check, Help, Version };

    // A drive's directory, or a disk image (with a partition number, 0 for
    // the image's own choice) when the path names a regular file.
    struct DriveArgument
    {
        QChar letter;
        QString path;
        bool image = false;
        int partition = 0;
    };

    Mode mode = Mode::Window;
    QList<DriveArgument> drives;
    QByteArray checkLine; // for --check, as Windows-1252 bytes

    // The arguments after the program's name; nothing, and *error says why
    // in one line, when they are unknown or malformed.
    static std::optional<CommandLine> parse(const QStringList &arguments, QString *error);

    static QString usage();
};
