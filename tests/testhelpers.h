#pragma once

#include "drives/dospath.h"
#include "drives/drivemap.h"
#include "loading/failure.h"
#include "loading/linelist.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <csignal>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Every line of a list, for comparing with what a test expects.
inline QList<QByteArray> linesOf(const LineList &list)
{
    QList<QByteArray> lines;
    for (int i = 0; i < list.count(); ++i)
        lines.append(list.line(i));
    return lines;
}

// A file's bytes, or its failure in angle brackets, for comparing.
inline QByteArray bytesOf(const Result<QByteArray> &read)
{
    return read ? *read : "<" + read.reason().toUtf8() + ">";
}

// The line a load shows when it cannot read the file (empty when it can).
inline QString readFailure(const DriveMap &drives, QByteArrayView dosPath)
{
    const Result<QByteArray> read = drives.readFile(dosPath);
    return read ? QString() : FileError(DosPath::parse(dosPath).display(), read.reason()).message();
}

// The program itself, run with arguments as a user runs it.
struct Run
{
    int exitCode = -1; // -1 when it crashed or did not finish
    QByteArray out;
    QByteArray err;
};

// The program run with `arguments`, and `environment` ("NAME=value") over
// the test's own.
inline Run vendral(const QStringList &arguments, const QStringList &environment = {})
{
    QProcess process;
    if (!environment.isEmpty()) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString &setting : environment)
            e.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
        process.setProcessEnvironment(e);
    }
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

// Built with AddressSanitizer, which reserves terabytes of address space
// and doubles what memory a run takes: no address-space limit, no bound on
// memory can be checked then.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// A run whose arguments and environment are bytes (a path that is not
// UTF-8 stays as it is), with the peak memory of the program and all it
// started, and an address-space limit as a safety net for a run that would
// otherwise take the machine's memory.
struct MeasuredRun : Run
{
    qint64 peakKb = 0;
};

inline MeasuredRun runMeasured(const QList<QByteArray> &argv, const QList<QByteArray> &setEnvironment = {},
                               qint64 addressLimitBytes = 0, int timeoutMs = 60000)
{
    MeasuredRun run;
    const int out = ::memfd_create("out", MFD_CLOEXEC);
    const int err = ::memfd_create("err", MFD_CLOEXEC);
    std::vector<QByteArray> env;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        bool replaced = false;
        for (const QByteArray &set : setEnvironment)
            replaced = replaced || entry.startsWith(set.left(set.indexOf('=') + 1));
        if (!replaced)
            env.push_back(entry);
    }
    for (const QByteArray &set : setEnvironment)
        env.push_back(set);
    std::vector<char *> envp, args;
    for (QByteArray &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    QList<QByteArray> argvCopy = argv;
    for (QByteArray &a : argvCopy)
        args.push_back(a.data());
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (addressLimitBytes > 0 && !kSanitized) {
            const rlimit limit{rlim_t(addressLimitBytes), rlim_t(addressLimitBytes)};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (clock.elapsed() > timeoutMs) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            status = -1;
            break;
        }
        QThread::msleep(5);
    }
    const auto readBack = [](int fd) {
        QByteArray bytes(static_cast<qsizetype>(::lseek(fd, 0, SEEK_END)), Qt::Uninitialized);
        if (!bytes.isEmpty() && ::pread(fd, bytes.data(), size_t(bytes.size()), 0) != bytes.size())
            bytes.clear();
        ::close(fd);
        return bytes;
    };
    run.out = readBack(out);
    run.err = readBack(err);
    run.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKb = usage.ru_maxrss;
    return run;
}
