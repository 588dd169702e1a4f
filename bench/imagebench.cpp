#include "bench/imagebench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <set>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr qint64 kDiskBytes = qint64(2) << 30;
constexpr qint64 kPartitionStart = 2048; // sectors
constexpr int kOtherFiles = 30;          // of 10 MB each
constexpr int kRuns = 11;

bool tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MTOOLSRC"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

// A hard disk of 2 GiB: an MBR and one active FAT32 partition holding the
// sample drive and 300 MB of other files that do not compress.
bool buildDisk(const QString &raw, const QString &sample, const QString &scratch)
{
    {
        QFile disk(raw);
        if (!disk.open(QIODevice::WriteOnly))
            return false;
        QByteArray mbr(512, '\0');
        const quint32 sectors = static_cast<quint32>(kDiskBytes / 512 - kPartitionStart);
        mbr[446] = '\x80';
        mbr[450] = '\x0C';
        for (int i = 0; i < 4; ++i) {
            mbr[454 + i] = static_cast<char>(kPartitionStart >> (8 * i));
            mbr[458 + i] = static_cast<char>(sectors >> (8 * i));
        }
        mbr[510] = '\x55';
        mbr[511] = '\xAA';
        disk.write(mbr);
        disk.resize(kDiskBytes);
    }
    const QString volume = raw + QStringLiteral("@@") + QString::number(kPartitionStart * 512);
    const QString sectors = QString::number(kDiskBytes / 512 - kPartitionStart);
    if (!tool(QStringLiteral("mformat"), {QStringLiteral("-i"), volume, QStringLiteral("-F"), QStringLiteral("-T"), sectors,
                                          QStringLiteral("-h"), QStringLiteral("255"), QStringLiteral("-s"),
                                          QStringLiteral("63"), QStringLiteral("::")}))
        return false;
    QStringList copy{QStringLiteral("-s"), QStringLiteral("-i"), volume};
    for (const QString &e : QDir(sample).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        copy.append(sample + QLatin1Char('/') + e);
    copy.append(QStringLiteral("::/"));
    if (!tool(QStringLiteral("mcopy"), copy))
        return false;

    QDir().mkpath(scratch);
    quint64 x = 88172645463325252ull;
    QStringList others{QStringLiteral("-i"), volume};
    for (int f = 0; f < kOtherFiles; ++f) {
        QByteArray bytes(10 << 20, Qt::Uninitialized);
        for (qsizetype i = 0; i + 8 <= bytes.size(); i += 8) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            std::memcpy(bytes.data() + i, &x, 8);
        }
        const QString path = scratch + QStringLiteral("/DATA%1.BIN").arg(f);
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            return false;
        others.append(path);
    }
    others.append(QStringLiteral("::/DATA"));
    return tool(QStringLiteral("mmd"), {QStringLiteral("-i"), volume, QStringLiteral("::/DATA")})
           && tool(QStringLiteral("mcopy"), others);
}

// A program and its arguments as exec wants them; lives as long as it is used.
struct ArgumentVector
{
    ArgumentVector(const QString &program, const QStringList &arguments)
    {
        bytes.push_back(QFile::encodeName(program));
        for (const QString &a : arguments)
            bytes.push_back(QFile::encodeName(a));
        for (QByteArray &b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
    }
    std::vector<QByteArray> bytes;
    std::vector<char *> argv;
};

// Runs a program to its end with its output thrown away; milliseconds.
double timeOf(const QString &program, const QStringList &arguments)
{
    ArgumentVector args(program, arguments);
    std::vector<char *> &argv = args.argv;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        qFatal("cannot start %s", qPrintable(program));
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        qFatal("%s failed", qPrintable(program));
    return timer.nsecsElapsed() / 1e6;
}

long hwmKb(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// The peak resident size of a program and of each process it starts, each
// read as the process ends (traced, stopped at its exit while its memory is
// still there): {the program's, the largest of the others'}.
std::pair<long, long> peaksOf(const QString &program, const QStringList &arguments)
{
    ArgumentVector args(program, arguments);
    std::vector<char *> &argv = args.argv;
    const pid_t pid = fork();
    if (pid == 0) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0); // stopped at the exec
    ptrace(PTRACE_SETOPTIONS, pid, nullptr,
           PTRACE_O_TRACEEXIT | PTRACE_O_TRACEFORK | PTRACE_O_TRACEVFORK | PTRACE_O_TRACECLONE | PTRACE_O_EXITKILL);
    ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    long own = 0, helpers = 0;
    // The traced processes alive: the benchmark's own children (its copy
    // maker) are not waited for.
    std::set<pid_t> traced{pid};
    while (!traced.empty()) {
        const pid_t t = waitpid(-1, &status, __WALL);
        if (t < 0)
            break;
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            traced.erase(t);
            continue;
        }
        traced.insert(t);
        const int event = status >> 16;
        if (event == PTRACE_EVENT_FORK || event == PTRACE_EVENT_VFORK || event == PTRACE_EVENT_CLONE) {
            unsigned long child = 0;
            ptrace(PTRACE_GETEVENTMSG, t, nullptr, &child);
            traced.insert(static_cast<pid_t>(child));
        }
        int signal = WSTOPSIG(status);
        if (status >> 16 == PTRACE_EVENT_EXIT) {
            const long kb = hwmKb(t);
            if (t == pid)
                own = std::max(own, kb);
            else
                helpers = std::max(helpers, kb);
        }
        if (signal == SIGTRAP || signal == SIGSTOP)
            signal = 0;
        ptrace(PTRACE_CONT, t, nullptr, reinterpret_cast<void *>(static_cast<intptr_t>(signal)));
    }
    return {own, helpers};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

void benchImages(const QString &sampleDrive)
{
    for (const char *program : {"mformat", "mcopy", "qemu-img"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty()) {
            std::printf("(image cases left out: %s is not installed)\n", program);
            return;
        }
    }
    QTemporaryDir dir;
    const QString raw = dir.filePath(QStringLiteral("win98.img"));
    if (!buildDisk(raw, sampleDrive, dir.filePath(QStringLiteral("other"))))
        qFatal("cannot build the raw image");
    // The same disk in every format QEMU reads for vendral.
    struct Format
    {
        const char *name;
        QString path;
        QStringList convert; // qemu-img convert's options; empty for the raw image
        double reportLimit;  // against the folder
    };
    const auto in = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    std::vector<Format> formats{
        {"raw image", raw, {}, 1.5},
        {"dynamic VHD", in("win98.vhd"), {"-O", "vpc", "-o", "subformat=dynamic"}, 2.0},
        {"QCOW2", in("win98.qcow2"), {"-O", "qcow2"}, 2.0},
        {"compressed QCOW2", in("win98c.qcow2"), {"-c", "-O", "qcow2"}, 3.0},
        {"VDI", in("win98.vdi"), {"-O", "vdi"}, 2.0},
        {"VMDK", in("win98.vmdk"), {"-O", "vmdk"}, 2.0},
    };
    for (const Format &f : formats) {
        if (!f.convert.isEmpty()
            && !tool(QStringLiteral("qemu-img"),
                     QStringList{QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("raw")} + f.convert
                         + QStringList{raw, f.path}))
            qFatal("cannot build the %s", f.name);
    }
    struct stat st {};
    ::stat(QFile::encodeName(formats[1].path).constData(), &st);
    const double heldMb = st.st_blocks * 512.0 / 1048576.0;

    const QString vendral = QCoreApplication::applicationDirPath() + QStringLiteral("/vendral");
    const auto run = [&vendral](const QString &drive, const char *mode) {
        return timeOf(vendral, {QStringLiteral("--drive"), QStringLiteral("C=") + drive, QLatin1String(mode)});
    };
    const auto row = [](const QByteArray &name, double value, const char *unit, double floor, const char *floorName,
                        bool pass, const QByteArray &target) {
        std::printf("%-34s %10.2f %-5s  %6.2fx %-22s %s (%s)\n", name.constData(), value, unit, value / floor, floorName,
                    pass ? "PASS" : "FAIL", target.constData());
    };
    // Each image against the same files as a folder, in turns so both see
    // the same state of the machine.
    for (const char *mode : {"--report", "--audit"}) {
        const bool audit = qstrcmp(mode, "--audit") == 0;
        for (const Format &f : formats) {
            std::vector<double> folderMs, imageMs;
            for (int i = 0; i < kRuns; ++i) {
                folderMs.push_back(run(sampleDrive, mode));
                imageMs.push_back(run(f.path, mode));
            }
            const double limit = audit ? 2.0 : f.reportLimit;
            row(QByteArray(mode + 2) + ", " + f.name, median(imageMs), "ms", median(folderMs),
                audit ? "the folder's audit" : "the folder", median(imageMs) <= limit * median(folderMs),
                "< " + QByteArray::number(limit) + "x folder");
        }
    }

    // The helpers run one at a time beside vendral: all processes together
    // hold at most vendral's peak and the largest helper's.
    const auto arguments = [](const QString &image) {
        return QStringList{QStringLiteral("--drive"), QStringLiteral("C=") + image, QStringLiteral("--report")};
    };
    const auto [rawOwn, rawHelpers] = peaksOf(vendral, arguments(raw));
    const auto [vhdOwn, vhdHelpers] = peaksOf(vendral, arguments(formats[1].path));
    const double rawMb = (rawOwn + rawHelpers) / 1024.0;
    const double vhdMb = (vhdOwn + vhdHelpers) / 1024.0;
    row("peak memory, raw image", rawMb, "MB", heldMb + 64, "data held + 64 MB", true, "none");
    row("peak memory, dynamic VHD", vhdMb, "MB", heldMb + 64, "data held + 64 MB", vhdMb <= heldMb + 64,
        "<= data held + 64 MB");
    std::printf("(%.0f MB held by the VHD; vendral's peak %.1f MB and the largest helper's %.1f MB on the VHD, "
                "%.1f and %.1f MB on the raw image)\n",
                heldMb, vhdOwn / 1024.0, vhdHelpers / 1024.0, rawOwn / 1024.0, rawHelpers / 1024.0);
}
