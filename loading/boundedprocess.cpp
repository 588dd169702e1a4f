#include "loading/boundedprocess.h"

#include <QElapsedTimer>
#include <QFile>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#else
#include <QProcess>
#endif

namespace {

constexpr qint64 kErrorCap = 64 * 1024;

QString programName(const BoundedCommand &c)
{
    return c.program.mid(c.program.lastIndexOf(QLatin1Char('/')) + 1);
}

QString seconds(int ms)
{
    if (ms % 1000 == 0)
        return QStringLiteral("%1 s").arg(ms / 1000);
    return QStringLiteral("%1 ms").arg(ms);
}

Failed notStarted(const BoundedCommand &c, const QString &why)
{
    QString line = QStringLiteral("%1 kan ikke startes: %2").arg(programName(c), why);
    if (!c.package.isEmpty())
        line += QStringLiteral(" (er pakken %1 installert?)").arg(c.package);
    return Failed{line};
}

Failed timedOut(const BoundedCommand &c)
{
    return Failed{QStringLiteral("%1 ble ikke ferdig innen %2 og ble stoppet").arg(programName(c), seconds(c.timeLimitMs))};
}

Failed tooMuchOutput(const BoundedCommand &c)
{
    return Failed{QStringLiteral("%1 skrev mer enn %2 MB og ble stoppet").arg(programName(c)).arg(c.outputCap >> 20)};
}

Failed killedBy(const BoundedCommand &c, int signal)
{
    return Failed{QStringLiteral("%1 stoppet uventet (signal %2)").arg(programName(c)).arg(signal)};
}

} // namespace

QString ProcessOutput::firstErrorLine() const
{
    // A warning (QEMU warns of options it will drop one day) says nothing
    // of why the run failed.
    const QList<QByteArray> lines = err.trimmed().split('\n');
    for (const QByteArray &line : lines) {
        if (!line.contains(": warning: "))
            return QString::fromUtf8(line.trimmed());
    }
    return QString::fromUtf8(lines.first().trimmed());
}

#ifdef Q_OS_LINUX

namespace {

// The environment the program gets: ours with the command's changes.
std::vector<QByteArray> environmentOf(const BoundedCommand &c)
{
    std::vector<QByteArray> env;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        const QByteArray name = entry.left(entry.indexOf('='));
        bool replaced = false;
        for (const auto &[n, v] : c.environment)
            replaced = replaced || n == name;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto &[name, value] : c.environment) {
        if (!value.isEmpty())
            env.push_back(name + '=' + value);
    }
    return env;
}

struct Pipe
{
    int read = -1;
    int write = -1;
    ~Pipe()
    {
        for (int fd : {read, write}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    bool open()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeWrite()
    {
        ::close(write);
        write = -1;
    }
};

// Reads what is there; false at the end of the stream.
bool drain(int fd, QByteArray &into, qint64 cap, bool *overflow)
{
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        return false;
    const qint64 room = cap - into.size();
    if (n > room)
        *overflow = true;
    into.append(buffer, static_cast<qsizetype>(qMin<qint64>(n, qMax<qint64>(room, 0))));
    return true;
}

} // namespace

Result<ProcessOutput> runBounded(const BoundedCommand &command)
{
    QElapsedTimer clock;
    clock.start();
    Pipe out, err;
    if (!out.open() || !err.open())
        return notStarted(command, QString::fromLocal8Bit(std::strerror(errno)));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so a kill reaches whatever the program started;
    // no signal blocked or ignored by us is passed on.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const QByteArray program = QFile::encodeName(command.program);
    std::vector<QByteArray> arguments{program};
    for (const QString &a : command.arguments)
        arguments.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> env = environmentOf(command);
    std::vector<char *> envp;
    for (QByteArray &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, program.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return notStarted(command, spawned == ENOENT ? QStringLiteral("programmet finnes ikke")
                                                     : QString::fromLocal8Bit(std::strerror(spawned)));
    }
    out.closeWrite();
    err.closeWrite();
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));

    ProcessOutput result;
    bool overflow = false, errorOverflow = false;
    bool outOpen = true, errOpen = true, exited = false;
    bool expired = false;
    // Until the program has ended and its output is read. Whatever it
    // started and left holding the pipes is killed with the group when the
    // program itself ends.
    while ((outOpen || errOpen || !exited) && !overflow) {
        const qint64 left = command.timeLimitMs - clock.elapsed();
        if (left <= 0) {
            expired = true;
            break;
        }
        pollfd fds[3] = {{outOpen ? out.read : -1, POLLIN, 0}, {errOpen ? err.read : -1, POLLIN, 0},
                         {exited ? -1 : pidfd, POLLIN, 0}};
        const int ready = ::poll(fds, 3, static_cast<int>(qMin<qint64>(left, pidfd < 0 ? 10 : left)));
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            outOpen = drain(out.read, result.out, command.outputCap, &overflow);
        if (fds[1].revents)
            errOpen = drain(err.read, result.err, kErrorCap, &errorOverflow);
        if (!exited && (fds[2].revents || pidfd < 0)) {
            siginfo_t info{};
            exited = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0
                     && info.si_pid == pid;
            if (exited)
                ::kill(-pid, SIGKILL); // stragglers only: the leader is a zombie now
        }
    }
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (pidfd >= 0)
        ::close(pidfd);
    if (expired)
        return timedOut(command);
    if (overflow)
        return tooMuchOutput(command);
    if (WIFSIGNALED(status))
        return killedBy(command, WTERMSIG(status));
    result.exitCode = WEXITSTATUS(status);
    return result;
}

#else

Result<ProcessOutput> runBounded(const BoundedCommand &command)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : command.environment) {
        if (value.isEmpty())
            env.remove(QString::fromLocal8Bit(name));
        else
            env.insert(QString::fromLocal8Bit(name), QString::fromLocal8Bit(value));
    }
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    process.start(command.program, command.arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(command.timeLimitMs))
        return notStarted(command, process.errorString());
    process.closeWriteChannel();
    ProcessOutput result;
    while (process.state() != QProcess::NotRunning) {
        const qint64 left = command.timeLimitMs - clock.elapsed();
        if (left <= 0 || result.out.size() > command.outputCap) {
            process.kill();
            process.waitForFinished();
            return left <= 0 ? timedOut(command) : tooMuchOutput(command);
        }
        process.waitForFinished(static_cast<int>(qMin<qint64>(left, 100)));
        result.out += process.readAllStandardOutput();
    }
    result.out += process.readAllStandardOutput();
    if (result.out.size() > command.outputCap)
        return tooMuchOutput(command);
    if (process.exitStatus() != QProcess::NormalExit)
        return killedBy(command, 0);
    result.exitCode = process.exitCode();
    result.err = process.readAllStandardError().left(kErrorCap);
    return result;
}

#endif
