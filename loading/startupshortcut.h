#pragma once

#include "drives/boundedprocess.h"
#include "drives/result.h"

#include <QByteArray>
#include <QByteArrayView>

// What a shortcut (.LNK) of a Startup folder starts, read through liblnk:
// the target's local path and the arguments, as Windows-1252 bytes.
// Shortcuts come from strangers' disks: a damaged one gives a failure, and
// the library reads it in a forked copy of the program bounded in time and
// memory.
struct StartupShortcut
{
    QByteArray target;
    QByteArray arguments;

    // The largest shortcut read: a real one is a few KiB.
    static constexpr qsizetype kLargest = qsizetype(1) << 20;

    static Result<StartupShortcut> read(const QByteArray &bytes);
    // The same, in this process: for the copy read() forks, and the fuzzer.
    static Result<StartupShortcut> readHere(const QByteArray &bytes);
    // read() in two halves, so that several files can be read in one copy:
    // the work the copy is given, whose answer it sends back, and the
    // shortcut (or the failure) that answer holds, once it is back.
    static IsolatedWork work(const QByteArray &bytes);
    static Result<StartupShortcut> fromAnswer(const Result<QByteArray> &answer);
};
