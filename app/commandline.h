#pragma once

#include "drives/result.h"
#include "translations/language.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

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
    std::optional<Language> language; // --lang nb|en, over the user's own

    // Whether what the mode writes is for programs (JSON), which is always
    // in Norwegian, whatever the language.
    bool machineReadable() const
    {
        return mode == Mode::Report || mode == Mode::Check || (mode == Mode::Audit && json);
    }

    // The arguments after the program's name, or why they are unknown or
    // malformed, in one line.
    static Result<CommandLine> parse(const QList<QByteArray> &arguments);

    static QString usage();

    // The language the arguments ask for with a well-formed --lang, for the
    // words on arguments that could not be read as a whole.
    static std::optional<Language> languageAsked(const QList<QByteArray> &arguments);
};
