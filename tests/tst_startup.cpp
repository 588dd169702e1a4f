// The start-up page: the registry's Run keys and StaticVxD, the Startup
// folders, WINSTART.BAT and DOSSTART.BAT, read from drives made in the test
// (hives and shortcuts written by the tests' own writers), and the audit of
// its lines.
#include "audit/startupaudit.h"
#include "cregwriter.h"
#include "lnkwriter.h"
#include "loading/configstate.h"
#include "loading/loadsequence.h"
#include "loading/registryhive.h"
#include "loading/startupsources.h"
#include "drives/boundedprocess.h"
#include "scratchdrive.h"
#include "testhelpers.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

using Files = QMap<QString, QByteArray>; // drive-relative path -> bytes

// A hive holding the given keys ("Software\...\Run") and their values.
QByteArray hive(const QList<std::pair<QByteArray, QList<creg::Value>>> &keys)
{
    creg::Key root;
    for (const auto &[path, values] : keys) {
        creg::Key *key = &root;
        for (const QByteArray &name : path.split('\\')) {
            auto sub = std::find_if(key->subKeys.begin(), key->subKeys.end(),
                                    [&name](const creg::Key &k) { return k.name == name; });
            if (sub == key->subKeys.end()) {
                key->subKeys.append(creg::Key{name, {}, {}});
                sub = key->subKeys.end() - 1;
            }
            key = &*sub;
        }
        key->values += values;
    }
    return creg::write(root);
}

const QByteArray kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const QByteArray kVxD = "System\\CurrentControlSet\\Services\\VxD\\";
const QString kStartUp = QStringLiteral("WINDOWS/Start Menu/Programs/StartUp/");

// The machine's WinDir is C:\WINDOWS.
QList<UnreadableFile> load(ConfigState &state, const ScratchDrive &drive)
{
    LoadSequence load(state, drive.drives, LoadSequence::OnFailure::ReadOnPastFailures);
    load.HentKnappClick();
    return load.unreadable();
}

ScratchDrive *machine(const Files &files)
{
    auto *drive = new ScratchDrive;
    drive->writeMachine();
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        drive->write(it.key(), it.value());
    return drive;
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    // Reads here go through the copy maker, as they do in the program.
    void initTestCase() { startCopyMaker(); }
    void page_data();
    void page();
    void audit_data();
    void audit();
    void keysNestedDeepAndManyValues();
    void writersAgreeWithTheLibrariesOwnTools();
    void aReaderThatFailsEndsOnlyItsCopy_data();
    void aReaderThatFailsEndsOnlyItsCopy();
};

void StartupTest::page_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QByteArray>("lines");      // the page, "\n" after each line
    QTest::addColumn<QByteArray>("unreadable"); // "path: reason", "\n" after each
    const auto run = [](const char *key, QList<creg::Value> values) {
        return std::pair(QByteArray(kRun + key), std::move(values));
    };
    QTest::newRow("none of them: no page") << Files{} << QByteArray() << QByteArray();
    // Written in another order than Windows runs them.
    QTest::newRow("SYSTEM.DAT's keys in the order Windows runs them")
        << Files{{"WINDOWS/SYSTEM.DAT",
                  hive({run("Run", {creg::string("ScanRegistry", "C:\\WINDOWS\\scanregw.exe /autorun"),
                                    creg::string("SystemTray", "SysTray.Exe"), creg::dword("Count", 2)}),
                        run("RunOnce", {creg::string("", "C:\\SETUP\\GO.EXE")}),
                        run("RunServices", {creg::string("Spool", "mstask.exe")}),
                        run("RunServicesOnce", {creg::string("Fix", "fix.exe\r\n[x]")}), run("Empty", {})})}}
        << QByteArray("[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce]\nFix=fix.exe  [x]\n"
                      "[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices]\nSpool=mstask.exe\n"
                      "[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n@=C:\\SETUP\\GO.EXE\n"
                      "[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                      "ScanRegistry=C:\\WINDOWS\\scanregw.exe /autorun\nSystemTray=SysTray.Exe\n")
        << QByteArray();
    QTest::newRow("each user's Run, Startup folder and RunOnce")
        << Files{{"WINDOWS/USER.DAT", hive({run("Run", {creg::string("Mixer", "sndvol32.exe /t")}),
                                            run("RunOnce", {creg::string("Tips", "welcome.exe")})})},
                 {kStartUp + "Klokke.lnk", lnk::write("C:\\UTILS\\KLOKKE.EXE", "/min")},
                 {"WINDOWS/PROFILES/ANNE/USER.DAT", hive({run("Run", {creg::string("Icq", "C:\\ICQ\\ICQ.EXE")})})},
                 {"WINDOWS/PROFILES/ANNE/Start Menu/Programs/StartUp/Office.lnk",
                  lnk::write("C:\\Program Files\\Office\\OSA.EXE", "-b", "C:\\Program Files\\Office")}}
        << QByteArray("[HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\nMixer=sndvol32.exe /t\n"
                      "[HKCU (ANNE)\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\nIcq=C:\\ICQ\\ICQ.EXE\n"
                      "[C:\\WINDOWS\\Start Menu\\Programs\\StartUp]\nKlokke.lnk=C:\\UTILS\\KLOKKE.EXE /min\n"
                      "[C:\\WINDOWS\\PROFILES\\ANNE\\Start Menu\\Programs\\StartUp]\n"
                      "Office.lnk=\"C:\\Program Files\\Office\\OSA.EXE\" -b\n"
                      "[HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\nTips=welcome.exe\n")
        << QByteArray();
    QTest::newRow("a Startup folder's programs and shortcuts, nothing else")
        << Files{{kStartUp + "NETWORK.PIF", "x"}, {kStartUp + "go.bat", "x"}, {kStartUp + "desktop.ini", "x"},
                 {kStartUp + "Old/A.LNK", lnk::write("C:\\A.EXE")}, {kStartUp + "Bad.lnk", "not a link"},
                 {kStartUp + "Cut.lnk", lnk::write("C:\\UTILS\\CUT.EXE").left(80)}}
        << QByteArray("[C:\\WINDOWS\\Start Menu\\Programs\\StartUp]\ngo.bat=C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\go.bat\n"
                      "NETWORK.PIF=C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\NETWORK.PIF\n")
        << QByteArray("C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\Bad.lnk: filen er ikke en lesbar snarvei\n"
                      "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\Cut.lnk: filen er ikke en lesbar snarvei\n");
    // Found by the fuzzer: the arguments' count runs past the link's end,
    // which made the library's reader of memory ranges read past its buffer.
    const QByteArray pastItsEnd = QByteArray("\x4c\x00\x00\x00\x01\x14\x02\x00\x00\x00\x00\x00\xc0\x00\x00\x00\x00\x00\x00\x46\x32\x00\x00\x00"
                                 "\x20\x00\x00\x00\x00\x00\x00\x00\x00\x2c\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                 "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                 "\x00\x00\x00\x00\x45\x00\x00\x00\x1c\x00\x00\x00\x01\x00\x00\xfd\x1c\x00\x00\x00\x2d\x00\x00\x00"
                                 "\x00\x00\x00\x00\x44\x00\x00\x00\x11\x00\x00\x00\x03\x00\x00\x00\xde\xc0\x98\x19\x10\x00\x00\x00"
                                 "\x00\x43\x3a\x5c\x57\x49\x4e\x44\x4f\x57\x53\x5c\x00\x00\x00\x00\x00\x00\x00\x00\x45\x58\x45\x00"
                                 "\x00\x0a\x00\x43\x3a\x5c\x57\x49\x4e\x44\x4f\x57\x53\x13\x00\x43\x3a\x5c\x57\x49\x4e\x44\x4f\x2e"
                                 "\x54\x58\x54\x00\x00\x00\x00", 175);
    QTest::newRow("a shortcut whose string runs past its end")
        << Files{{kStartUp + "Past.lnk", pastItsEnd}} << QByteArray()
        << QByteArray("C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\Past.lnk: filen er ikke en lesbar snarvei\n");
    QTest::newRow("StaticVxD of each key that has one")
        << Files{{"WINDOWS/SYSTEM.DAT", hive({{kVxD + "NWLINK", {creg::string("StaticVxD", "nwlink.vxd")}},
                                              {kVxD + "VCOMM", {creg::string("staticvxd", "*vcomm")}},
                                              {kVxD + "VNETSUP", {creg::string("Start", "0")}}})}}
        << QByteArray("[HKLM\\System\\CurrentControlSet\\Services\\VxD]\nNWLINK=nwlink.vxd\nVCOMM=*vcomm\n")
        << QByteArray();
    QTest::newRow("WINSTART.BAT and DOSSTART.BAT, as lines; an empty one has no section")
        << Files{{"WINDOWS/WINSTART.BAT", "@ECHO OFF\r\nC:\\NET\\NET START\r\n"},
                 {"WINDOWS/DOSSTART.BAT", "MSCDEX /D:X\nLH MOUSE [1]"}, {"WINDOWS/SYSTEM.DAT", hive({run("Run", {})})}}
        << QByteArray("[C:\\WINDOWS\\WINSTART.BAT]\n@ECHO OFF\nC:\\NET\\NET START\n[C:\\WINDOWS\\DOSSTART.BAT]\nMSCDEX /D:X\nLH MOUSE [1]\n")
        << QByteArray();
    // A damaged hive is one line; what else the machine has is still read.
    const QByteArray good = hive({run("Run", {creg::string("A", "a.exe")})});
    QByteArray badOffset = good;
    badOffset[10] = char(0x7f); // the first data block's offset, past the end
    // The root's first sub-key named as its own next sibling: a loop.
    QByteArray loop = good;
    const qsizetype firstSubKey = 32 + 32 + 28; // file header, RGKN header, the root's entry
    for (int i = 0; i < 4; ++i)
        loop[firstSubKey + 20 + i] = char(((32 + 28) >> (8 * i)) & 0xff);
    const QByteArray run2 = "[HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\nA=a.exe\n";
    const QByteArray damaged = "C:\\WINDOWS\\SYSTEM.DAT: filen er ikke et lesbart Windows 95/98-register\n";
    for (const auto &[name, bytes] : {std::pair("random bytes", QByteArray(4096, '\x5a')), std::pair("cut in half", good.left(good.size() / 2)),
                                      std::pair("a block offset past its end", badOffset), std::pair("empty", QByteArray())}) {
        QTest::addRow("SYSTEM.DAT %s", name) << Files{{"WINDOWS/SYSTEM.DAT", bytes}, {"WINDOWS/USER.DAT", good}}
                                             << run2 << damaged;
    }
    QTest::newRow("SYSTEM.DAT whose keys loop") << Files{{"WINDOWS/SYSTEM.DAT", loop}} << QByteArray("") << damaged;
    QTest::newRow("a hive too large to be real")
        << Files{{"WINDOWS/USER.DAT", QByteArray(RegistryHive::kLargestHive + 1, '\0')}} << QByteArray()
        << QByteArray("C:\\WINDOWS\\USER.DAT: filen er for stor til å være et register (67108865 byte)\n");
}

void StartupTest::page()
{
    QFETCH(Files, files);
    QFETCH(QByteArray, lines);
    QFETCH(QByteArray, unreadable);
    const std::unique_ptr<ScratchDrive> drive(machine(files));
    ConfigState state;
    const QList<UnreadableFile> failed = load(state, *drive);
    QByteArray shown;
    for (int i = 0; i < state.startupmemo.count(); ++i)
        shown += state.startupmemo.line(i) + '\n';
    QCOMPARE(shown, lines);
    // The section list holds the headers the page wrote, in order.
    QByteArray headers;
    for (const StartupSection &section : state.startupSections)
        headers += state.startupmemo.line(section.header) + '\n';
    QByteArray listed;
    for (int i = 0; i < state.startuplist.count(); ++i)
        listed += state.startuplist.line(i) + '\n';
    QCOMPARE(listed, headers);
    QByteArray told;
    for (const UnreadableFile &u : failed)
        told += u.source + ": " + u.failure.reason.toUtf8() + '\n';
    QCOMPARE(told, unreadable);
    // The other pages are read as ever.
    QCOMPARE(state.ConfigMemo.count(), 2);
}

void StartupTest::audit_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QByteArray>("findings"); // "where: name -> path found|missing", joined by "; "
    const auto run = [](const char *key, QList<creg::Value> values) {
        return std::pair(QByteArray(kRun + key), std::move(values));
    };
    QTest::newRow("a Run key's programs, where Windows looks for them")
        << Files{{"WINDOWS/SYSTEM.DAT",
                  hive({run("Run", {creg::string("ScanRegistry", "C:\\WINDOWS\\scanregw.exe /autorun"),
                                    creg::string("Tray", "systray"), creg::string("Gone", "\"C:\\Program Files\\X\\X.EXE\" /q")})})},
                 {"WINDOWS/SCANREGW.EXE", "x"}, {"WINDOWS/SYSTEM/SYSTRAY.EXE", "x"}}
        << QByteArray("C:\\WINDOWS\\SYSTEM.DAT: [HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run] ScanRegistry: "
                      "C:\\WINDOWS\\scanregw.exe -> C:\\WINDOWS\\SCANREGW.EXE found; "
                      "C:\\WINDOWS\\SYSTEM.DAT: [HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run] Tray: "
                      "systray -> C:\\WINDOWS\\SYSTEM\\SYSTRAY.EXE found; "
                      "C:\\WINDOWS\\SYSTEM.DAT: [HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run] Gone: "
                      "C:\\Program Files\\X\\X.EXE -> C:\\PROGRAM FILES\\X\\X.EXE missing");
    QTest::newRow("StaticVxD in SYSTEM\\VMM32, SYSTEM, the Windows directory; *name built in")
        << Files{{"WINDOWS/SYSTEM.DAT", hive({{kVxD + "NWLINK", {creg::string("StaticVxD", "nwlink.vxd")}},
                                              {kVxD + "VCOMM", {creg::string("StaticVxD", "*vcomm")}},
                                              {kVxD + "MSTCP", {creg::string("StaticVxD", "vtcp.386")}}})},
                 {"WINDOWS/VTCP.386", "x"}}
        << QByteArray("C:\\WINDOWS\\SYSTEM.DAT: [HKLM\\System\\CurrentControlSet\\Services\\VxD\\NWLINK] StaticVxD: "
                      "nwlink.vxd -> C:\\WINDOWS\\SYSTEM\\VMM32\\NWLINK.VXD missing; "
                      "C:\\WINDOWS\\SYSTEM.DAT: [HKLM\\System\\CurrentControlSet\\Services\\VxD\\MSTCP] StaticVxD: "
                      "vtcp.386 -> C:\\WINDOWS\\VTCP.386 found");
    QTest::newRow("a shortcut's target; along AUTOEXEC.BAT's PATH")
        << Files{{kStartUp + "A.LNK", lnk::write("C:\\GONE\\A.EXE", "/x")}, {kStartUp + "B.LNK", lnk::write("b.exe")},
                 {"AUTOEXEC.BAT", "PATH C:\\UTILS\r\n"}, {"UTILS/B.EXE", "x"}}
        << QByteArray("C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\A.LNK: C:\\GONE\\A.EXE -> C:\\GONE\\A.EXE missing; "
                      "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\B.LNK: b.exe -> C:\\UTILS\\B.EXE found");
    QTest::newRow("WINSTART.BAT's lines, each batch file afresh")
        << Files{{"WINDOWS/WINSTART.BAT", "CD \\UTILS\r\nB\r\nGONE\r\n"}, {"WINDOWS/DOSSTART.BAT", "B\r\n"},
                 {"UTILS/B.EXE", "x"}}
        << QByteArray("C:\\WINDOWS\\WINSTART.BAT:2: B -> C:\\UTILS\\B.EXE found; "
                      "C:\\WINDOWS\\WINSTART.BAT:3: GONE -> C:\\UTILS\\GONE missing; "
                      "C:\\WINDOWS\\DOSSTART.BAT:1: B -> C:\\B missing");
}

void StartupTest::audit()
{
    QFETCH(Files, files);
    QFETCH(QByteArray, findings);
    const std::unique_ptr<ScratchDrive> drive(machine(files));
    ConfigState state;
    load(state, *drive);
    const AuditFindings all = StartupAudit(state, drive->drives).auditFile(startupfiles::startup);
    QByteArrayList parts;
    for (const AuditFinding &f : all) {
        QByteArray where = f.source.toByteArray();
        if (f.sourceLine >= 0)
            where += ':' + QByteArray::number(f.sourceLine + 1);
        if (!f.sourceKey.isEmpty())
            where += ": " + f.sourceKey.toByteArray();
        parts.append(where + ": " + f.name + " -> " + f.path + (f.found ? " found" : " missing"));
    }
    QCOMPARE(parts.join("; "), findings);
    // Line by line, in the context of the lines before, the same.
    AuditFindings byLine;
    for (int line = 0; line < state.startupmemo.count(); ++line)
        byLine += StartupAudit(state, drive->drives).auditLine(startupfiles::startup, line);
    QCOMPARE(byLine.size(), all.size());
    for (qsizetype i = 0; i < all.size(); ++i)
        QCOMPARE(byLine.at(i).path, all.at(i).path);
}

// Keys thousands deep and a key of thousands of values are read without
// harm: what the start-up looks at is found, the lists are bounded.
void StartupTest::keysNestedDeepAndManyValues()
{
    QByteArray deep = kVxD + "DEEP";
    for (int i = 0; i < 3000; ++i)
        deep += "\\K";
    QList<creg::Value> many;
    for (int i = 0; i < RegistryHive::kMostEntries + 100; ++i)
        many.append(creg::string("V" + QByteArray::number(i), "v.exe"));
    const QByteArray bytes = hive({{deep, {creg::string("StaticVxD", "deep.vxd")}}, {kRun + "Run", many}});
    const QByteArray run = kRun + "Run";
    Result<RegistryHive> read = RegistryHive::read(bytes, {run, deep}, {kVxD.chopped(1)});
    QVERIFY2(read.ok(), qPrintable(read.reason()));
    QCOMPARE(read->stringValues(run).size(), RegistryHive::kMostEntries);
    QCOMPARE(read->stringValues(run.toLower()).size(), RegistryHive::kMostEntries); // any case
    QCOMPARE(read->stringValues(deep).size(), 1);
    QCOMPARE(read->subKeys(kVxD.chopped(1)), QList<QByteArray>{"DEEP"});
}

// The tests' hives and shortcuts are what the libraries' own tools read
// them as, so a fault of the writers cannot pass for a fault of the reader.
void StartupTest::writersAgreeWithTheLibrariesOwnTools()
{
    if (QStandardPaths::findExecutable(QStringLiteral("cregexport")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("lnkinfo")).isEmpty())
        QSKIP("cregexport or lnkinfo is not installed (scripts/install-deps.sh installs them)");
    QTemporaryDir dir;
    const auto tool = [&dir](const QString &program, const QString &file, const QByteArray &bytes) -> QByteArray {
        QFile out(dir.filePath(file));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            return QByteArray("cannot write");
        out.close();
        QProcess process;
        process.start(program, {out.fileName()});
        if (!process.waitForFinished(10000) || process.exitCode() != 0)
            return QByteArray("failed: ") + process.readAllStandardError();
        return process.readAllStandardOutput();
    };
    const QByteArray exported = tool(QStringLiteral("cregexport"), QStringLiteral("SYSTEM.DAT"),
                                     hive({{kRun + "Run", {creg::string("ScanRegistry", "C:\\WINDOWS\\scanregw.exe /autorun")}},
                                           {kVxD + "NWLINK", {creg::string("StaticVxD", "nwlink.vxd"), creg::dword("Start", 0)}}}));
    for (const QByteArray &expected : {QByteArray("Key path: Software\\Microsoft\\Windows\\CurrentVersion\\Run\nKey: Run\nValue: 0 ScanRegistry\nType: string (REG_SZ)"),
                                       QByteArray("Data: C:\\WINDOWS\\scanregw.exe /autorun\n"),
                                       QByteArray("Key path: System\\CurrentControlSet\\Services\\VxD\\NWLINK\nKey: NWLINK\nValue: 0 StaticVxD"),
                                       QByteArray("Value: 1 Start\nType: 32-bit integer little-endian (REG_DWORD_LITTLE_ENDIAN)\nData size: 4\nData: 0\n")})
        QVERIFY2(exported.contains(expected), exported.constData());
    const QByteArray info = tool(QStringLiteral("lnkinfo"), QStringLiteral("A.LNK"),
                                 lnk::write("C:\\PROGRA~1\\APP\\APP.EXE", "/min", "C:\\PROGRA~1\\APP"));
    for (const QByteArray &expected : {QByteArray("Local path\t\t\t: C:\\PROGRA~1\\APP\\APP.EXE"),
                                       QByteArray("Working directory\t\t: C:\\PROGRA~1\\APP"),
                                       QByteArray("Command line arguments\t\t: /min")})
        QVERIFY2(info.contains(expected), info.constData());
}

namespace {

// A reader that fails as the first byte of its input says.
QByteArray faultyReader(QByteArrayView input)
{
    switch (input.at(0)) {
    case 1:
        ::raise(SIGSEGV);
        break;
    case 2:
        ::pause();
        break;
    case 3:
        throw std::runtime_error("x");
    case 4:
        return QByteArray(2 << 20, 'x');
    case 5: {
        std::vector<std::unique_ptr<char[]>> hoard;
        while (true) { // the address-space limit, not the machine's memory, ends it
            hoard.emplace_back(new char[1 << 24]);
            hoard.back()[0] = 1;
        }
    }
    }
    // What a reader maps while it reads: new address space, which no memory
    // left free in the copy's heap can stand in for.
    void *held = ::mmap(nullptr, 16 << 20, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (held == MAP_FAILED)
        throw std::bad_alloc();
    return "read";
}

} // namespace

// The libraries read in a copy of the program: whatever they do there, the
// program goes on and the file is one line. The program has two gigabytes
// mapped, as it has for a large virtual disk: the copy's memory limit is on
// top of what it starts with.
void StartupTest::aReaderThatFailsEndsOnlyItsCopy_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("none") << 0 << QString();
    QTest::newRow("crashes") << 1 << QStringLiteral("filen er skadet: leseren stoppet");
    QTest::newRow("never ends") << 2 << QStringLiteral("det tok for lang tid å lese filen");
    QTest::newRow("throws") << 3 << QStringLiteral("filen er skadet: leseren stoppet");
    QTest::newRow("answers without end") << 4 << QStringLiteral("filen er skadet: leseren stoppet");
    if (!kSanitized) // AddressSanitizer's copy cannot take an address-space limit
        QTest::newRow("takes all memory") << 5 << QStringLiteral("filen er skadet: leseren stoppet");
}

void StartupTest::aReaderThatFailsEndsOnlyItsCopy()
{
    QFETCH(int, fault);
    QFETCH(QString, reason);
    IsolatedLimits limits;
    limits.timeLimitMs = 1000;
    limits.outputCap = 1 << 20;
    limits.addressSpace = qint64(256) << 20;
    const size_t diskBytes = size_t(2) << 30;
    const std::unique_ptr<void, std::function<void(void *)>> disk(
        ::mmap(nullptr, diskBytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0),
        [diskBytes](void *at) { ::munmap(at, diskBytes); });
    QVERIFY(disk.get() != MAP_FAILED);
    // The same reader given by value, which a copy the copy maker makes
    // runs, and as a function of the program, which a copy of it runs.
    const IsolatedWork work{&faultyReader, QByteArray(1, char(fault))};
    const std::function<QByteArray()> reader = [&work] { return faultyReader(work.input); };
    // Alone, and among sound readers in one copy: only its own answer fails.
    const QList<Result<QByteArray>> answers = runIsolatedEach({[] { return QByteArray("first"); }, reader,
                                                               [] { return QByteArray("last"); }}, limits);
    const auto echo = [](QByteArrayView input) { return input.toByteArray(); };
    const QList<Result<QByteArray>> made =
        runIsolatedEach({IsolatedWork{echo, "first"}, work, IsolatedWork{echo, "last"}}, limits);
    for (const QList<Result<QByteArray>> &batch : {answers, made}) {
        QCOMPARE(batch.size(), 3);
        QCOMPARE(batch[0].value(), QByteArray("first"));
        QCOMPARE(batch[2].value(), QByteArray("last"));
    }
    for (const Result<QByteArray> &answer :
         {runIsolated(reader, limits), answers[1], runIsolated(work, limits), made[1]}) {
        if (reason.isEmpty()) {
            QVERIFY2(answer.ok(), qPrintable(answer.reason()));
            QCOMPARE(answer.value(), QByteArray("read"));
        } else {
            QCOMPARE(answer.reason(), reason);
        }
    }
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
