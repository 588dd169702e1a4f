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

    struct DriveArgument
    {
        QChar letter;
        QString directory;
    };

    Mode mode = Mode::Window;
    QList<DriveArgument> drives;
    QByteArray checkLine; // for --check, as Windows-1252 bytes

    // The arguments after the program's name; nothing, and *error says why
    // in one line, when they are unknown or malformed.
    static std::optional<CommandLine> parse(const QStringList &arguments, QString *error);

    static QString usage();
};
