#pragma once

#include "drives/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

// One run of an external program that cannot outlive its welcome: started
// with an argument list (no shell) in a process group of its own, stdin
// empty, stdout and stderr read as they come. When the time limit passes, or
// stdout grows past its cap, the whole group is killed with SIGKILL, which a
// program cannot ignore, and the run ends in one line that says why.
struct BoundedCommand
{
    QString program;        // found in PATH when it holds no "/"
    QStringList arguments;
    int timeLimitMs = 30000;
    qint64 outputCap = qint64(1) << 20; // bytes of stdout
    QString package;        // the Debian package that brings the program
    // Variables set (or, with an empty value, removed) in the program's
    // environment; everything else is inherited.
    QList<std::pair<QByteArray, QByteArray>> environment;
};

// A program that ran to its end. A non-zero exit code is the caller's to
// read; stderr is kept up to 64 KB.
struct ProcessOutput
{
    int exitCode = 0;
    QByteArray out;
    QByteArray err;

    // The first line of stderr, for a message.
    QString firstErrorLine() const;
};

// Runs the command to its end, or fails with one Norwegian line: the program
// could not be started, did not finish in time, wrote more than its cap, or
// was ended by a signal.
Result<ProcessOutput> runBounded(const BoundedCommand &command);

// Runs `work` in a forked copy of this program, bounded as a helper is: a
// time limit, an address-space limit, a cap on what it returns, killed with
// the program. For reading untrusted input through a library that cannot be
// trusted to survive it: a crash, a hang or a runaway allocation ends the
// copy, and the caller gets one Norwegian line instead. `work` runs in the
// copy only, and must not touch the window or anything shared with it.
struct IsolatedLimits
{
    int timeLimitMs = 10000;
    qint64 addressSpace = qint64(1) << 30; // bytes beyond the program's own; not applied in sanitizer builds
    qint64 outputCap = qint64(16) << 20;
};
Result<QByteArray> runIsolated(const std::function<QByteArray()> &work, const IsolatedLimits &limits = {});

// Runs each of `works` in turn in one forked copy, bounded as runIsolated
// bounds one, for the price of one fork. When that copy fails (a crash, a
// hang, a cap reached), each is run again in a copy of its own, so that the
// failure falls on the input that caused it and the others are still read.
QList<Result<QByteArray>> runIsolatedEach(const QList<std::function<QByteArray()>> &works,
                                          const IsolatedLimits &limits = {});

// Work a reader copy is given by value: one of the program's own functions
// and the bytes it reads. Only such work can run in a copy the copy maker
// makes (see startCopyMaker); other work runs in a copy of the program.
struct IsolatedWork
{
    QByteArray (*function)(QByteArrayView input) = nullptr;
    QByteArray input;
};
Result<QByteArray> runIsolated(const IsolatedWork &work, const IsolatedLimits &limits = {});
QList<Result<QByteArray>> runIsolatedEach(const QList<IsolatedWork> &works, const IsolatedLimits &limits = {});

// Starts the copy maker: a copy of the program, made while the program is
// still small, that makes the copies work given by value runs in from then
// on. A copy costs in proportion to the memory of what it is made from, and
// a program that holds a large machine holds hundreds of megabytes. Call it
// early in main(), before the program starts threads of its own, and once
// its language is in place: the copies say in it what went wrong. Without
// it, or once it has gone, each copy is made from the program itself.
void startCopyMaker();

// True inside the copy `runIsolated` runs its work in. All of the copy's
// memory goes when it ends, so a library's teardown there is time spent for
// nothing: libcreg's, for one, walks a cache table of pages it never touched.
bool inIsolatedCopy();
