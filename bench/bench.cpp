// Vendral's speed and memory, measured: each case prints its median and its
// ratio to a floor measured in the same run, and whether it meets its target.
#include "app/headless.h"
#include "app/jsonwriter.h"
#include "app/vendralapplication.h"
#include "audit/startupaudit.h"
#include "bench/imagebench.h"
#include "drives/boundedprocess.h"
#include "drives/directorydrive.h"
#include "drives/drivemap.h"
#include "editing/filecheck.h"
#include "loading/configstate.h"
#include "loading/loadsequence.h"
#include "loading/startupfiles.h"
#include "widgets/auditmarking.h"
#include "widgets/linelistview.h"
#include "widgets/msdosform.h"
#include "widgets/rediger.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <functional>
#include <vector>

namespace {

// Where each start-up file lies below the drive's root, with WinDir C:\WINDOWS.
QString hostPath(const QString &root, const StartupFile &file)
{
    ConfigState windows;
    windows.WD = "C:\\WINDOWS";
    return root + QLatin1Char('/')
           + QString::fromLatin1(file.dosPath(windows).sliced(3)).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The medians of a case and its floor, run in turns so both see the same
// state of the machine.
std::pair<double, double> medianPairMs(int runs, const std::function<void()> &floor,
                                       const std::function<void()> &work)
{
    std::vector<double> floors, works;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        floor();
        floors.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        work();
        works.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(floors.begin(), floors.end());
    std::sort(works.begin(), works.end());
    return {floors[floors.size() / 2], works[works.size() / 2]};
}

void row(const char *name, double value, const char *unit, double floor, const char *floorName,
         bool pass, const char *target)
{
    std::printf("%-34s %10.2f %-5s  %6.2fx %-22s %s (%s)\n", name, value, unit,
                floor > 0 ? value / floor : 0.0, floorName, pass ? "PASS" : "FAIL", target);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray lines(int count, const std::function<QByteArray(int)> &line)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += line(i) + "\r\n";
    return text;
}

// MSDOS.SYS of 1 MB, WIN.INI and SYSTEM.INI of 200,000 lines each,
// CONFIG.SYS and AUTOEXEC.BAT of 50,000 lines each; or as many lines as
// given, the INI files' values naming files whose names start with `stem`.
void writeLargeDrive(const QString &root, int iniLines = 200000, int dosLines = 50000,
                     const QByteArray &stem = "FILE")
{
    QByteArray msdos = "[Paths]\r\nWinDir=C:\\WINDOWS\r\nWinBootDir=C:\\WINDOWS\r\nHostWinBootDrv=C\r\n\r\n"
                       "[Options]\r\nBootMulti=1\r\nBootGUI=1\r\nWinVer=4.10.2222\r\n";
    while (msdos.size() < 1024 * 1024)
        msdos += ";" + QByteArray(69, 'x') + "\r\n";
    writeFile(root + QStringLiteral("/MSDOS.SYS"), msdos);
    const auto ini = [&stem](int i) -> QByteArray {
        if (i % 20 == 0)
            return "[section" + QByteArray::number(i / 20) + "]";
        return "key" + QByteArray::number(i) + "=C:\\WINDOWS\\SYSTEM\\" + stem + QByteArray::number(i) + ".DLL";
    };
    writeFile(root + QStringLiteral("/WINDOWS/WIN.INI"), lines(iniLines, ini));
    writeFile(root + QStringLiteral("/WINDOWS/SYSTEM.INI"), lines(iniLines, ini));
    const auto dos = [](int i) -> QByteArray { return "DEVICE=C:\\WINDOWS\\DRIVER" + QByteArray::number(i) + ".SYS /X"; };
    writeFile(root + QStringLiteral("/CONFIG.SYS"), lines(dosLines, dos));
    writeFile(root + QStringLiteral("/AUTOEXEC.BAT"), lines(dosLines, dos));
}

// The sample drive with a WINDOWS\SYSTEM of 100,000 more files.
void writeCrowdedDrive(const QString &root, const QString &sample)
{
    QDirIterator files(sample, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString from = files.next();
        QFile source(from);
        if (!source.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(from));
        writeFile(root + from.mid(sample.size()), source.readAll());
    }
    const QString system = root + QStringLiteral("/WINDOWS/SYSTEM/");
    for (int i = 0; i < 100000; ++i)
        writeFile(system + QStringLiteral("F%1.DLL").arg(i, 6, 10, QLatin1Char('0')), QByteArray());
}

// Reading the start-up files, splitting them into lines and writing each
// line as a JSON string to a stream: runs of plain ASCII copied as they are,
// every other byte through one table (Windows-1252 to UTF-8, or an escape).
void floorReport(const QString &root, std::FILE *out)
{
    static const auto forms = [] {
        std::vector<QByteArray> table(256);
        for (int b = 0; b < 256; ++b) {
            if (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0))
                table[b] = QByteArray("\\u00") + QByteArray::number(b, 16).rightJustified(2, '0');
            else if (b == '"' || b == '\\')
                table[b] = QByteArray("\\") + char(b);
            else if (b < 0x80)
                table[b] = QByteArray(1, char(b));
            else
                table[b] = QString(QChar(b)).toUtf8();
        }
        return table;
    }();
    QByteArray buffer;
    buffer.reserve(1 << 17);
    for (const StartupFile *f : startupfiles::all) {
        if (!f->isOneFile())
            continue;
        QFile file(hostPath(root, *f));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const char *data = bytes.constData();
        qsizetype start = 0;
        for (qsizetype i = 0; i <= bytes.size(); ++i) {
            if (i < bytes.size() && data[i] != '\n')
                continue;
            const qsizetype end = i > start && data[i - 1] == '\r' ? i - 1 : i;
            buffer += "        \"";
            qsizetype plain = start;
            for (qsizetype j = start; j < end; ++j) {
                const auto b = uchar(data[j]);
                if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\')
                    continue;
                buffer.append(data + plain, j - plain);
                buffer += forms[b];
                plain = j + 1;
            }
            buffer.append(data + plain, end - plain);
            buffer += "\",\n";
            start = i + 1;
            if (buffer.size() > (1 << 16)) {
                std::fwrite(buffer.constData(), 1, size_t(buffer.size()), out);
                buffer.resize(0);
            }
        }
    }
    std::fwrite(buffer.constData(), 1, size_t(buffer.size()), out);
}

void floorLoad(const QString &root);

// Reading the start-up files and listing each directory the audit looks in
// (the root, the Windows folder, SYSTEM and its VMM32).
void floorAudit(const QString &root)
{
    floorLoad(root);
    for (const char *folder : {"", "/WINDOWS", "/WINDOWS/SYSTEM", "/WINDOWS/SYSTEM/VMM32"}) {
        DIR *d = opendir(QFile::encodeName(root + QLatin1String(folder)).constData());
        if (!d)
            continue;
        int entries = 0;
        while (readdir(d))
            ++entries;
        closedir(d);
        if (entries == 1234567)
            std::puts("");
    }
}

qint64 textBytes(const QString &root)
{
    qint64 total = 0;
    for (const StartupFile *file : startupfiles::all) {
        if (file->isOneFile())
            total += QFileInfo(hostPath(root, *file)).size();
    }
    return total;
}

// Reading the same bytes and splitting them into lines with a plain loop.
void floorLoad(const QString &root)
{
    for (const StartupFile *f : startupfiles::all) {
        if (!f->isOneFile())
            continue;
        QFile file(hostPath(root, *f));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", f->key);
        const QByteArray bytes = file.readAll();
        std::vector<qsizetype> starts;
        starts.push_back(0);
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n')
                starts.push_back(i + 1);
        }
        if (starts.size() == 1234567)
            std::puts(""); // keeps the loop from being optimised away
    }
}

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The child processes of the start-up case.
int child(const QString &mode, const QString &drive, int argc, char **argv)
{
    VendralApplication app(argc, argv);
    if (mode == QLatin1String("bare")) {
        QWidget window;
        window.resize(548, 329);
        window.show();
        return QTest::qWaitForWindowExposed(&window) ? 0 : 1;
    }
    startCopyMaker(); // as the program does
    DriveMap drives;
    drives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(drive));
    if (mode.startsWith(QLatin1String("memory"))) {
        // Prints how far the peak resident size grew over the load.
        const long before = statusKb("VmRSS:");
        resetPeak();
        ConfigState headless;
        std::unique_ptr<TMsDosForm> form;
        if (mode == QLatin1String("memory-headless")) {
            LoadSequence(headless, drives).HentKnappClick();
        } else {
            form = std::make_unique<TMsDosForm>(drives);
            form->show();
            if (!QTest::qWaitForWindowExposed(form.get()))
                return 1;
            form->findChild<QTabWidget *>(QStringLiteral("PageControl"))->setCurrentIndex(5);
            QCoreApplication::processEvents();
        }
        std::printf("%ld\n", statusKb("VmHWM:") - before);
        return 0;
    }
    // As the program starts: the edit dialog is made at the first edit.
    TMsDosForm form(drives);
    form.setEditDialogMaker([&drives, &form] { return new TEndreForm(drives, {}, &form); });
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    // What follows the first frame: the start-up page, then the other
    // pages' lists.
    QElapsedTimer waited;
    waited.start();
    while (mode == QLatin1String("window-complete")
           && !form.findChild<LineListView *>(QStringLiteral("startupmemo"))) {
        if (waited.elapsed() > 10000)
            return 1;
        QCoreApplication::processEvents(); // without qWaitFor's sleep between looks
    }
    return 0;
}

long childGrowthKb(const QString &mode, const QString &drive)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, drive});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("memory child failed: %s", process.readAllStandardError().constData());
    return process.readAllStandardOutput().trimmed().toLong();
}

void runChild(const QString &mode, const QString &drive)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, drive});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("start-up child failed: %s", process.readAllStandardError().constData());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0)
        return child(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), argc, argv);

    VendralApplication app(argc, argv);
    startCopyMaker(); // as the program does
    const QString sample = QStringLiteral(VENDRAL_EXAMPLES);
    QTemporaryDir large;
    writeLargeDrive(large.path());

    std::printf("%-34s %10s %-5s  %7s %-22s %s\n", "case", "median", "", "ratio", "floor", "target");

    DriveMap sampleDrives;
    sampleDrives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(sample));
    DriveMap largeDrives;
    largeDrives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(large.path()));

    // The load, shown in the window, against reading and splitting the bytes.
    const auto windowLoad = [](DriveMap &drives, const QString &root, const char *name, const char *floorName,
                               int runs, double limit, const char *target) {
        TMsDosForm form(drives);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the window was not shown");
        auto *pages = form.findChild<QTabWidget *>(QStringLiteral("PageControl"));
        pages->setCurrentIndex(5); // win.ini, the largest list on screen
        auto *reload = form.findChild<QPushButton *>(QStringLiteral("HentKnapp"));
        const auto [floor, load] = medianPairMs(runs, [&] { floorLoad(root); }, [&] {
            reload->click();
            QCoreApplication::processEvents();
        });
        row(name, load, "ms", floor, floorName, limit <= 0 || load <= limit * floor, target);
        return load;
    };
    const double sampleLoad = windowLoad(sampleDrives, sample, "load, sample drive", "read + split", 21, 0, "none");
    windowLoad(largeDrives, large.path(), "load, large drive (shown)", "read + split", 7, 3.0, "< 3x floor");

    {
        const auto [floor, load] = medianPairMs(9, [&] { floorLoad(large.path()); }, [&] {
            ConfigState state;
            LoadSequence(state, largeDrives).HentKnappClick();
        });
        row("load, large drive (headless)", load, "ms", floor, "read + split", load <= 3 * floor, "< 3x floor");
    }

    // The audit of the large drive against the headless load of the same drive.
    {
        ConfigState loaded;
        LoadSequence(loaded, largeDrives).HentKnappClick();
        const auto [load, audit] = medianPairMs(9, [&] {
            ConfigState state;
            LoadSequence(state, largeDrives).HentKnappClick();
        }, [&] { StartupAudit(loaded, largeDrives).run(); });
        row("audit, large drive", audit, "ms", load, "headless load", audit <= 1.5 * load, "< 1.5x load");
    }

    // The large load shown with the marking of missing files and without it,
    // and how long the marks take to follow (they come in slices, after the
    // load is shown).
    {
        TMsDosForm form(largeDrives);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the window was not shown");
        form.findChild<QTabWidget *>(QStringLiteral("PageControl"))->setCurrentIndex(5);
        auto *reload = form.findChild<QPushButton *>(QStringLiteral("HentKnapp"));
        auto *marking = form.findChild<AuditMarking *>();
        const auto shownLoad = [&](bool marked) {
            marking->setEnabled(marked);
            reload->click();
            QCoreApplication::processEvents();
        };
        const auto [off, on] = medianPairMs(9, [&] { shownLoad(false); }, [&] { shownLoad(true); });
        row("load shown, marking on", on, "ms", off, "marking off", on <= 1.15 * off, "< 1.15x");
        const double complete = medianMs(9, [&] {
            shownLoad(true);
            while (marking->isRunning())
                QCoreApplication::processEvents();
        });
        row("load shown, marks complete", complete, "ms", off, "marking off", true, "none");
    }

    // Start-up to the first shown window, in fresh processes.
    {
        const auto [bare, window] = medianPairMs(
            15, [&] { runChild(QStringLiteral("bare"), sample); },
            [&] { runChild(QStringLiteral("window"), sample); });
        row("start-up to shown window", window, "ms", bare + sampleLoad, "bare window + load",
            window <= 1.3 * (bare + sampleLoad), "< 1.3x floor");
        const double complete = medianMs(15, [&] { runChild(QStringLiteral("window-complete"), sample); });
        row("start-up, all read", complete, "ms", bare + sampleLoad, "bare window + load", true, "none");
    }

    // A header click on the largest list: the last section of WIN.INI.
    {
        TMsDosForm form(largeDrives);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the window was not shown");
        form.findChild<QTabWidget *>(QStringLiteral("PageControl"))->setCurrentIndex(5);
        QCoreApplication::processEvents();
        auto *sections = form.findChild<LineListView *>(QStringLiteral("WinIniList"));
        const int last = sections->model()->rowCount() - 1;
        bool up = false;
        const double click = medianMs(21, [&] {
            // Alternate between the first and the last header, so every click
            // is a selection change that scrolls the full list.
            const int row = up ? 0 : last;
            up = !up;
            const QModelIndex index = sections->model()->index(row, 0);
            sections->scrollTo(index);
            QTest::mouseClick(sections->viewport(), Qt::LeftButton, {}, sections->visualRect(index).center());
            QCoreApplication::processEvents();
        });
        row("header click, 200,000 lines", click, "ms", 16.0, "one frame (16 ms)", click < 16.0, "< 16 ms");
    }

    // A 10,000-character line through the check.
    {
        const QByteArray line = "DEVICE=C:\\WINDOWS\\" + QByteArray(10000, 'A') + ".SYS /X";
        const double check = medianMs(21, [&] { checkLine(line, sampleDrives); });
        const double floor = medianMs(21, [&] { sampleDrives.fileExists("C:\\WINDOWS\\HIMEM.SYS"); });
        row("check, 10,000-character line", check, "ms", floor, "one short probe", true, "none");
    }

    // The audit of a drive whose WINDOWS\SYSTEM holds 100,000 files.
    {
        QTemporaryDir crowded;
        writeCrowdedDrive(crowded.path(), sample);
        DriveMap drives;
        drives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(crowded.path()));
        const auto [floor, audit] = medianPairMs(9, [&] { floorAudit(crowded.path()); }, [&] {
            ConfigState state;
            LoadSequence(state, drives).HentKnappClick();
            StartupAudit(state, drives).run();
        });
        row("audit, 100,000 files in SYSTEM", audit, "ms", floor, "read + readdir", audit <= 3 * floor, "< 3x floor");
    }

    // The report of about 100 MB of start-up files, written as JSON.
    {
        QTemporaryDir huge;
        // About 100 MB: INI files of 1,000,000 lines naming files with a
        // letter beyond ASCII, CONFIG.SYS and AUTOEXEC.BAT of 200,000.
        writeLargeDrive(huge.path(), 1000000, 200000, "F\xf8L");
        DriveMap drives;
        drives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(huge.path()));
        std::FILE *null = std::fopen("/dev/null", "w");
        const auto [floor, report] = medianPairMs(5, [&] { floorReport(huge.path(), null); }, [&] {
            ConfigState state;
            loadAtStart(state, drives);
            JsonWriter json(null);
            headless::writeReport(json, state, QString());
        });
        std::fclose(null);
        row("report, 100 MB of start-up files", report, "ms", floor, "read, split, JSON", report <= 2 * floor,
            "< 2x floor");
        std::printf("(%.1f MB of text on the 100 MB drive)\n", textBytes(huge.path()) / 1048576.0);
    }

    // Peak memory per byte of text loaded.
    {
        const qint64 bytes = textBytes(large.path());
        // Each in a fresh process, so no memory freed earlier is reused.
        for (const char *mode : {"memory-headless", "memory-shown"}) {
            const double perByte = childGrowthKb(QLatin1String(mode), large.path()) * 1024.0 / bytes;
            const QByteArray name = QByteArray("peak memory, large load ") + (mode[7] == 'h' ? "(headless)" : "(shown)");
            row(name.constData(), perByte, "B/B", 1.0, "the text itself", perByte < 6.0, "< 6 bytes per byte");
        }
        std::printf("(%.1f MB of text on the large drive)\n", bytes / 1048576.0);
    }

    benchImages(sample);
    return 0;
}
