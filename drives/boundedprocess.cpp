#include "drives/boundedprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <cstring>
#include <optional>

#ifdef Q_OS_LINUX
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#else
#include <QProcess>
#endif

namespace {

constexpr qint64 kErrorCap = 64 * 1024;

bool isolatedCopy = false; // set in the copy runIsolated forks

QString programName(const BoundedCommand &c)
{
    return c.program.mid(c.program.lastIndexOf(QLatin1Char('/')) + 1);
}

QString seconds(int ms)
{
    if (ms % 1000 == 0)
        return QCoreApplication::translate("drives", "%1 s").arg(ms / 1000);
    return QCoreApplication::translate("drives", "%1 ms").arg(ms);
}

Failed notStarted(const BoundedCommand &c, const QString &why)
{
    QString line = QCoreApplication::translate("drives", "%1 kan ikke startes: %2").arg(programName(c), why);
    if (!c.package.isEmpty())
        line += QCoreApplication::translate("drives", " (er pakken %1 installert?)").arg(c.package);
    return Failed{line};
}

Failed timedOut(const BoundedCommand &c)
{
    return Failed{QCoreApplication::translate("drives", "%1 ble ikke ferdig innen %2 og ble stoppet").arg(programName(c), seconds(c.timeLimitMs))};
}

Failed tooMuchOutput(const BoundedCommand &c)
{
    return Failed{QCoreApplication::translate("drives", "%1 skrev mer enn %2 MB og ble stoppet").arg(programName(c)).arg(c.outputCap >> 20)};
}

Failed killedBy(const BoundedCommand &c, int signal)
{
    return Failed{QCoreApplication::translate("drives", "%1 stoppet uventet (signal %2)").arg(programName(c)).arg(signal)};
}

// The answers of a batch, each after its length; fewer than expected when
// the batch failed.
QList<Result<QByteArray>> answersOf(const Result<QByteArray> &all, qsizetype expected)
{
    QList<Result<QByteArray>> answers;
    for (qsizetype at = 0; all && at + qsizetype(sizeof(quint64)) <= all->size() && answers.size() < expected;) {
        quint64 length = 0;
        std::memcpy(&length, all->constData() + at, sizeof length);
        at += sizeof length;
        if (length > quint64(all->size() - at))
            break;
        answers.append(all->sliced(at, qsizetype(length)));
        at += qsizetype(length);
    }
    return answers;
}

// What the program asks of the copy maker; the input follows.
struct Order
{
    QByteArray (*function)(QByteArrayView input);
    quint64 inputLength;
    qint64 addressSpace;
};

// Runs the works listed in its input, one after another, and answers each
// answer after its length: a batch, given by value.
QByteArray runEach(QByteArrayView input)
{
    QByteArray out;
    for (qsizetype at = 0; at + qsizetype(sizeof(Order)) <= input.size();) {
        Order order{};
        std::memcpy(&order, input.data() + at, sizeof order);
        at += sizeof order;
        const QByteArray answer = order.function(input.sliced(at, qsizetype(order.inputLength)));
        at += qsizetype(order.inputLength);
        const auto length = static_cast<quint64>(answer.size());
        out.append(reinterpret_cast<const char *>(&length), sizeof length);
        out.append(answer);
    }
    return out;
}

// The work run in a copy the copy maker makes; nothing when there is no
// copy maker, or it has gone, and the caller must make a copy itself.
std::optional<Result<QByteArray>> runInMadeCopy(const IsolatedWork &work, const IsolatedLimits &limits);

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

bool inIsolatedCopy()
{
    return isolatedCopy;
}

QList<Result<QByteArray>> runIsolatedEach(const QList<std::function<QByteArray()>> &works, const IsolatedLimits &limits)
{
    QList<Result<QByteArray>> answers;
    if (works.size() > 1) {
        // The answers one after another, each after its length.
        const Result<QByteArray> all = runIsolated([&works] {
            QByteArray out;
            for (const auto &work : works) {
                const QByteArray answer = work();
                const auto length = static_cast<quint64>(answer.size());
                out.append(reinterpret_cast<const char *>(&length), sizeof length);
                out.append(answer);
            }
            return out;
        }, limits);
        answers = answersOf(all, works.size());
        if (answers.size() == works.size())
            return answers;
        answers.clear();
    }
    for (const auto &work : works)
        answers.append(runIsolated(work, limits));
    return answers;
}

Result<QByteArray> runIsolated(const IsolatedWork &work, const IsolatedLimits &limits)
{
    if (std::optional<Result<QByteArray>> made = runInMadeCopy(work, limits))
        return std::move(*made);
    return runIsolated([&work] { return work.function(work.input); }, limits);
}

QList<Result<QByteArray>> runIsolatedEach(const QList<IsolatedWork> &works, const IsolatedLimits &limits)
{
    if (works.size() > 1) {
        IsolatedWork batch{&runEach, {}};
        for (const IsolatedWork &work : works) {
            const Order order{work.function, quint64(work.input.size()), 0};
            batch.input.append(reinterpret_cast<const char *>(&order), sizeof order);
            batch.input.append(work.input);
        }
        const QList<Result<QByteArray>> answers = answersOf(runIsolated(batch, limits), works.size());
        if (answers.size() == works.size())
            return answers;
    }
    QList<Result<QByteArray>> answers;
    for (const IsolatedWork &work : works)
        answers.append(runIsolated(work, limits));
    return answers;
}

#ifdef Q_OS_LINUX

namespace {

// The address space this process has mapped now, in bytes (0 when unknown):
// a copy of it starts with all of it, a disk image's mapping included. Read
// with plain calls into a buffer on the stack: the copy maker reads it before
// every copy, and there each allocation writes to pages it still shares with
// the program, which the kernel then copies one by one.
qint64 addressSpaceInUse()
{
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[64];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    return std::strtoll(text, nullptr, 10) * ::sysconf(_SC_PAGESIZE);
}

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

// The process groups of the helpers running now, for the signal handlers:
// a helper must not outlive the program, whichever way the program ends.
constexpr int kGroupSlots = 16;
std::atomic<pid_t> g_groups[kGroupSlots];

class RunningGroup
{
public:
    explicit RunningGroup(pid_t group)
    {
        for (std::atomic<pid_t> &slot : g_groups) {
            pid_t empty = 0;
            if (slot.compare_exchange_strong(empty, group)) {
                m_slot = &slot;
                break;
            }
        }
    }
    ~RunningGroup()
    {
        if (m_slot)
            m_slot->store(0);
    }
    RunningGroup(const RunningGroup &) = delete;
    RunningGroup &operator=(const RunningGroup &) = delete;

private:
    std::atomic<pid_t> *m_slot = nullptr;
};

extern "C" void killHelpersAndDie(int signal)
{
    for (std::atomic<pid_t> &slot : g_groups) {
        const pid_t group = slot.load();
        if (group > 0)
            ::kill(-group, SIGKILL);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// On SIGINT, SIGTERM and SIGHUP the helpers' groups are killed before the
// program ends as it would have; a signal the program was told to ignore
// (nohup) stays ignored. SIGKILL cannot be caught: PR_SET_PDEATHSIG in
// each helper covers it.
void installSignalHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction current{};
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
                continue;
            struct sigaction action{};
            action.sa_handler = killHelpersAndDie;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

// A forked child's start: a process group of its own, killed when the
// program ends (even by SIGKILL, and at once if it has ended already), and
// the default handling of every signal, none blocked: the program's own
// handlers (a crash reporter among them) are not the child's.
void detachChild(pid_t parent)
{
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    for (int signal = 1; signal < NSIG; ++signal)
        ::signal(signal, SIG_DFL);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// In the child, between fork and exec: only calls that are safe there.
[[noreturn]] void runChild(const char *program, char *const argv[], char *const envp[], pid_t parent, int out, int err,
                           int execFailure)
{
    detachChild(parent);
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (input < 0 || ::dup2(input, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
        const int e = errno;
        (void)!::write(execFailure, &e, sizeof e);
        ::_exit(127);
    }
    ::execve(program, argv, envp);
    const int e = errno;
    (void)!::write(execFailure, &e, sizeof e);
    ::_exit(127);
}

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

// In a reader copy: runs the work (on a thread of its own, unless told not
// to), writes its answer to `out` and ends the copy. A fault ends the copy as
// the kernel ends it, without a core.
[[noreturn]] void answerAndEnd(const std::function<QByteArray()> &work, int out, [[maybe_unused]] rlim_t space,
                               bool ownThread = true)
{
    isolatedCopy = true;
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
#if !defined(__SANITIZE_ADDRESS__)
    const rlimit bound{space, space};
    ::setrlimit(RLIMIT_AS, &bound);
#endif
    QByteArray result;
    const auto run = [&] {
        try {
            result = work();
        } catch (...) {
            ::_exit(3);
        }
    };
    // On a thread of its own, which takes its memory from another malloc
    // arena than this one: memory the program freed is shared with the
    // copy until written, so reusing it here copies it page by page, and
    // a library's tables, zeroed as they are made, run to megabytes.
    try {
        if (!ownThread)
            run();
        else
            std::thread(run).join();
    } catch (const std::system_error &) {
        run(); // no thread to be had: here, then
    }
    for (qsizetype at = 0; at < result.size();) {
        const ssize_t n = ::write(out, result.constData() + at, size_t(result.size() - at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ::_exit(4);
        at += n;
    }
    ::_exit(0); // no destructors, no exit handlers of the program
}

// What a reader copy wrote, read until it ends, its cap or the time limit.
struct Answer
{
    QByteArray bytes;
    bool overflow = false;
    bool expired = false;

    // The answer, given how the copy ended.
    Result<QByteArray> result(int status) const
    {
        if (expired)
            return Failed{QCoreApplication::translate("drives", "det tok for lang tid å lese filen"), FailureKind::DamagedImage};
        if (overflow || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return Failed{QCoreApplication::translate("drives", "filen er skadet: leseren stoppet"), FailureKind::DamagedImage};
        return bytes;
    }
};

Answer collect(int fd, const IsolatedLimits &limits, const QElapsedTimer &clock)
{
    Answer answer;
    bool open = true;
    while (open && !answer.overflow) {
        const qint64 left = limits.timeLimitMs - clock.elapsed();
        if (left <= 0) {
            answer.expired = true;
            break;
        }
        pollfd ready{fd, POLLIN, 0};
        const int n = ::poll(&ready, 1, static_cast<int>(left));
        if (n < 0 && errno != EINTR)
            break;
        if (n > 0)
            open = drain(fd, answer.bytes, limits.outputCap, &answer.overflow);
    }
    return answer;
}

} // namespace

Result<ProcessOutput> runBounded(const BoundedCommand &command)
{
    QElapsedTimer clock;
    clock.start();
    Pipe out, err;
    if (!out.open() || !err.open())
        return notStarted(command, QString::fromLocal8Bit(std::strerror(errno)));

    const QByteArray program = QFile::encodeName(command.program.contains(QLatin1Char('/'))
                                                     ? command.program
                                                     : QStandardPaths::findExecutable(command.program));
    if (program.isEmpty())
        return notStarted(command, QCoreApplication::translate("drives", "programmet finnes ikke"));
    std::vector<QByteArray> arguments{QFile::encodeName(command.program)};
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

    installSignalHandlers();
    Pipe execFailure; // the child writes errno here when exec fails
    if (!execFailure.open())
        return notStarted(command, QString::fromLocal8Bit(std::strerror(errno)));
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        return notStarted(command, QString::fromLocal8Bit(std::strerror(errno)));
    if (pid == 0)
        runChild(program.constData(), argv.data(), envp.data(), parent, out.write, err.write, execFailure.write);
    // A group of its own, set on both sides so that a kill that follows at
    // once reaches it; known to the signal handlers until it is reaped.
    ::setpgid(pid, pid);
    const RunningGroup running(pid);
    execFailure.closeWrite();
    int childErrno = 0;
    ssize_t got;
    while ((got = ::read(execFailure.read, &childErrno, sizeof childErrno)) < 0 && errno == EINTR) {
    }
    if (got > 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return notStarted(command, childErrno == ENOENT ? QCoreApplication::translate("drives", "programmet finnes ikke")
                                                        : QString::fromLocal8Bit(std::strerror(childErrno)));
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

Result<QByteArray> runIsolated(const std::function<QByteArray()> &work, const IsolatedLimits &limits)
{
    QElapsedTimer clock;
    clock.start();
    Pipe out;
    if (!out.open())
        return Failed{QCoreApplication::translate("drives", "kunne ikke lese filen (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)))};
    installSignalHandlers();
    // The limit bounds what the copy maps beyond what it starts with.
    [[maybe_unused]] const rlim_t space = rlim_t(addressSpaceInUse() + limits.addressSpace);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        return Failed{QCoreApplication::translate("drives", "kunne ikke lese filen (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)))};
    if (pid == 0) {
        detachChild(parent);
        ::close(out.read);
        answerAndEnd(work, out.write, space);
    }
    ::setpgid(pid, pid);
    const RunningGroup running(pid);
    out.closeWrite();
    const Answer answer = collect(out.read, limits, clock);
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return answer.result(status);
}

namespace {

// How long the copy maker may take to tell how a copy it was told to end
// ended.
constexpr qint64 kCopyEndMs = 5000;

// The copy maker's end of its socket in the program; -1 when there is none.
std::mutex g_makerLock;
int g_maker = -1;

bool sendAll(int socket, const void *data, size_t length)
{
    for (size_t at = 0; at < length;) {
        const ssize_t n = ::send(socket, static_cast<const char *>(data) + at, length - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += size_t(n);
    }
    return true;
}

// Reads `length` bytes, waiting at most until the deadline (none: -1).
bool receiveAll(int socket, void *data, size_t length, const QElapsedTimer *clock = nullptr, qint64 limitMs = -1)
{
    for (size_t at = 0; at < length;) {
        if (clock) {
            const qint64 left = limitMs - clock->elapsed();
            pollfd fd{socket, POLLIN, 0};
            if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left)) == 0)
                return false;
        }
        const ssize_t n = ::recv(socket, static_cast<char *>(data) + at, length - at, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += size_t(n);
    }
    return true;
}

// An order as one message, with room for the descriptor that goes with it.
struct OrderMessage
{
    explicit OrderMessage(Order &order) : part{&order, sizeof order}
    {
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    OrderMessage(const OrderMessage &) = delete;
    OrderMessage &operator=(const OrderMessage &) = delete;

    char control[CMSG_SPACE(sizeof(int))] = {};
    iovec part;
    msghdr message{};
};

// The order, with the descriptor the copy writes its answer to.
bool sendOrder(int socket, Order order, int answerFd)
{
    OrderMessage m(order);
    cmsghdr *header = CMSG_FIRSTHDR(&m.message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &answerFd, sizeof(int));
    ssize_t n;
    while ((n = ::sendmsg(socket, &m.message, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    return n == ssize_t(sizeof order);
}

bool receiveOrder(int socket, Order &order, int &answerFd)
{
    OrderMessage m(order);
    ssize_t n;
    while ((n = ::recvmsg(socket, &m.message, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {
    }
    const cmsghdr *header = CMSG_FIRSTHDR(&m.message);
    if (n != ssize_t(sizeof order) || !header || header->cmsg_type != SCM_RIGHTS)
        return false;
    std::memcpy(&answerFd, CMSG_DATA(header), sizeof(int));
    return true;
}

// The copy maker: takes an order, makes a copy of itself that answers it
// straight to the program, tells the program the copy's pid, waits for the
// copy and tells how it ended. It ends with the program, or when the
// program closes the socket.
[[noreturn]] void makeCopies(int socket, pid_t program)
{
    detachChild(program);
    for (;;) {
        Order order{};
        int answerFd = -1;
        if (!receiveOrder(socket, order, answerFd))
            ::_exit(0);
        QByteArray input(qsizetype(order.inputLength), Qt::Uninitialized);
        if (!receiveAll(socket, input.data(), size_t(input.size())))
            ::_exit(0);
        const rlim_t space = rlim_t(addressSpaceInUse() + order.addressSpace);
        const pid_t maker = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(socket);
            detachChild(maker);
            // Here the work runs on this thread: the copy maker is small, and
            // has little freed memory a copy could reuse.
            answerAndEnd([&order, &input] { return order.function(input); }, answerFd, space, false);
        }
        ::close(answerFd);
        int status = -1;
        if (!sendAll(socket, &pid, sizeof pid))
            ::_exit(0);
        while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!sendAll(socket, &status, sizeof status))
            ::_exit(0);
    }
}

std::optional<Result<QByteArray>> runInMadeCopy(const IsolatedWork &work, const IsolatedLimits &limits)
{
    const std::lock_guard guard(g_makerLock);
    if (g_maker < 0)
        return std::nullopt;
    const auto gone = [] {
        ::close(g_maker);
        g_maker = -1;
        return std::nullopt;
    };
    QElapsedTimer clock;
    clock.start();
    Pipe out;
    if (!out.open())
        return std::nullopt;
    const Order order{work.function, quint64(work.input.size()), limits.addressSpace};
    if (!sendOrder(g_maker, order, out.write) || !sendAll(g_maker, work.input.constData(), size_t(work.input.size())))
        return gone();
    out.closeWrite();
    pid_t pid = -1;
    if (!receiveAll(g_maker, &pid, sizeof pid, &clock, limits.timeLimitMs) || pid <= 0)
        return gone();
    const Answer answer = collect(out.read, limits, clock);
    ::kill(pid, SIGKILL);
    // The copy is dead or about to be: how it ended comes at once. Without
    // it (the copy maker itself was ended), the work is done again in a
    // copy of the program, not called damaged.
    int status = -1;
    if (!receiveAll(g_maker, &status, sizeof status, &clock, clock.elapsed() + kCopyEndMs))
        return gone();
    return answer.result(status);
}


} // namespace

void startCopyMaker()
{
    const std::lock_guard guard(g_makerLock);
    if (g_maker >= 0)
        return;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    installSignalHandlers();
    const pid_t program = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ends[0]);
        makeCopies(ends[1], program);
    }
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        return;
    }
    g_maker = ends[0];
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

Result<QByteArray> runIsolated(const std::function<QByteArray()> &work, const IsolatedLimits &)
{
    return work(); // no fork here: read in the program itself
}

namespace {

std::optional<Result<QByteArray>> runInMadeCopy(const IsolatedWork &, const IsolatedLimits &)
{
    return std::nullopt;
}

} // namespace

void startCopyMaker()
{
}

#endif
