#pragma once

#include "loading/linelist.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>

// Every line of a list, for comparing with what a test expects.
inline QList<QByteArray> linesOf(const LineList &list)
{
    QList<QByteArray> lines;
    for (int i = 0; i < list.count(); ++i)
        lines.append(list.line(i));
    return lines;
}

// The program itself, run with arguments as a user runs it.
struct Run
{
    int exitCode = -1; // -1 when it crashed or did not finish
    QByteArray out;
    QByteArray err;
};

inline Run vendral(const QStringList &arguments)
{
    QProcess process;
    process.start(qEnvironmentVariable("VENDRAL_BINARY"), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
