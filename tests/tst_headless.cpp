// The command line, and the program's headless commands run as a user runs them.
#include "app/commandline.h"
#include "drives/ansitext.h"
#include "loading/startupfiles.h"
#include "scratchdrive.h"
#include "testhelpers.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList strings(const QJsonValue &array)
{
    QStringList list;
    for (const QJsonValue &v : array.toArray())
        list.append(v.toString());
    return list;
}

QString sample() { return qEnvironmentVariable("VENDRAL_EXAMPLES"); }

// Files of a drive by their path; an empty text stands for no file.
using Files = QMap<QString, QByteArray>;

// What the parser made of a command line, in a few words.
QString describe(const Result<CommandLine> &parsed)
{
    if (!parsed)
        return QStringLiteral("error: ") + parsed.reason();
    static const char *const modes[] = {"window", "report", "check", "help", "version", "audit"};
    QString words = QLatin1String(modes[int(parsed->mode)]);
    if (parsed->json)
        words += QStringLiteral(" json");
    if (parsed->mode == CommandLine::Mode::Check)
        words += QLatin1Char(' ') + ansi::decode(parsed->checkLine);
    for (const CommandLine::DriveArgument &d : parsed->drives)
        words += QStringLiteral(" %1=%2").arg(d.letter, QString::fromUtf8(d.location));
    for (const QByteArray &disk : parsed->disks)
        words += QStringLiteral(" disk %1").arg(QString::fromUtf8(disk));
    return words;
}

} // namespace

class HeadlessTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesTheCommandLine_data();
    void parsesTheCommandLine();
    void reportOnTheSampleDrive();
    void reportOfAFailedLoad();
    void controlBytesAreWrittenEscaped();
    void check_data();
    void check();
    void audit_data();
    void audit();
    void auditAsJson();
    void auditOfAFullWindows98Drive();
    void badArguments_data();
    void badArguments();
    void helpAndVersion();
    void languageOfTheText_data();
    void languageOfTheText();
    void drivePathsAreBytes_data();
    void drivePathsAreBytes();
    void outOfMemoryIsOneLine();
    void windowModeShowsABadDiskInABox();
};

void HeadlessTest::parsesTheCommandLine_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<QString>("parsed");
    using Args = QList<QByteArray>;
    QTest::newRow("nothing: the window") << Args{} << "window";
    QTest::newRow("report") << Args{"--report"} << "report";
    QTest::newRow("a machine's disks in order") << Args{"/a.img", "--report", "/b"} << "report disk /a.img disk /b";
    QTest::newRow("Qt's own options are no disks") << Args{"-style", "Fusion", "-reverse", "--platform=xcb", "-display", ":1", "/a"}
                                                   << "window disk /a";
    QTest::newRow("after --, a dash starts a disk") << Args{"--", "-x.img", "--report"} << "window disk -x.img disk --report";
    QTest::newRow("the first and the last letter") << Args{"--drive", "a=/a", "--drive", "Z=/z", "--report"}
                                                   << "report A=/a Z=/z";
    QTest::newRow("drives, both spellings") << Args{"--drive", "C=/a", "--drive=d=/b", "--report"} << "report C=/a D=/b";
    QTest::newRow("check") << Args{"--check", "x=y.exe"} << "check x=y.exe";
    QTest::newRow("check=") << Args{"--check=device=a.sys"} << "check device=a.sys";
    QTest::newRow("check in UTF-8 becomes Windows-1252") << Args{"--check", "x=\xc3\xa6.exe"} << QStringLiteral(u"check x=æ.exe");
    QTest::newRow("help after a mode gives way") << Args{"--report", "--help"} << "report";
    QTest::newRow("-h") << Args{"-h"} << "help";
    QTest::newRow("version") << Args{"--version"} << "version";
    QTest::newRow("a mode after help") << Args{"--help", "--report"}
                                       << "error: bare én av --report, --check, --audit, --help og --version";
    QTest::newRow("two modes") << Args{"--report", "--check", "x"}
                               << "error: bare én av --report, --check, --audit, --help og --version";
    QTest::newRow("audit") << Args{"--audit"} << "audit";
    QTest::newRow("audit as JSON, either order") << Args{"--json", "--drive", "C=/a", "--audit"} << "audit json C=/a";
    QTest::newRow("json without audit") << Args{"--report", "--json"} << "error: --json gjelder bare --audit";
    QTest::newRow("json alone") << Args{"--json"} << "error: --json gjelder bare --audit";
    QTest::newRow("check without a line") << Args{"--check"} << "error: --check trenger en linje";
    QTest::newRow("drive without a value") << Args{"--drive"} << "error: --drive trenger X=MAPPE eller X=BILDE";
    QTest::newRow("drive letter not a letter") << Args{"--drive", "1=/tmp"}
                                               << "error: --drive 1=/tmp: ventet X=MAPPE eller X=BILDE, for eksempel C=/mnt/win98";
    QTest::newRow("same letter twice") << Args{"--drive", "C=/a", "--drive", "c=/b"}
                                       << "error: --drive C: er gitt mer enn én gang";
    QTest::newRow("unknown") << Args{"--bogus"} << "error: ukjent argument: --bogus (se --help)";
}

void HeadlessTest::parsesTheCommandLine()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(QString, parsed);
    QCOMPARE(describe(CommandLine::parse(arguments)), parsed);
}

void HeadlessTest::reportOnTheSampleDrive()
{
    const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + sample(), QStringLiteral("--report")});
    QCOMPARE(run.exitCode, 0);
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(run.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QStringList keys = report.keys();
    keys.sort();
    QStringList expected{"WinDir", "WinBootDir", "HostWinBootDrv", "WinVer", "BootMulti", "BootGUI",
                         "DoubleBuffer", "AutoScan", "BootDelay", "Network", "error"};
    for (const StartupFile *file : startupfiles::all)
        expected.append(QLatin1String(file->key));
    expected.sort();
    QCOMPARE(keys, expected);
    QVERIFY(report.value(QLatin1String("error")).isNull());
    QCOMPARE(report.value(QLatin1String("WinDir")).toString(), QStringLiteral("C:\\WINDOWS"));
    QCOMPARE(report.value(QLatin1String("WinVer")).toString(), QStringLiteral("4.10.2222"));
    QCOMPARE(report.value(QLatin1String("BootGUI")).toBool(), true);
    QCOMPARE(report.value(QLatin1String("BootDelay")).toBool(), false); // BootDelay=2
    const QJsonObject msdos = report.value(QLatin1String("msdos.sys")).toObject();
    QCOMPARE(strings(msdos.value(QLatin1String("sections"))), (QStringList{"[Paths]", "[Options]"}));
    QVERIFY(msdos.value(QLatin1String("lines")).toArray().size() > 30);
    QVERIFY(report.value(QLatin1String("config.sys")).toObject().keys() == QStringList{"lines"});
    const QStringList autoexec = strings(report.value(QLatin1String("autoexec.bat")).toObject().value(QLatin1String("lines")));
    QVERIFY2(autoexec.join(QLatin1Char('\n')).contains(QStringLiteral(u"æøå ÆØÅ")), "Windows-1252 letters decoded");
    QVERIFY(strings(report.value(QLatin1String("win.ini")).toObject().value(QLatin1String("sections"))).size() >= 10);
    QVERIFY(strings(report.value(QLatin1String("system.ini")).toObject().value(QLatin1String("sections"))).contains(QStringLiteral("[386Enh]")));
}

void HeadlessTest::reportOfAFailedLoad()
{
    ScratchDrive c;
    c.writeMachine();
    c.remove(QStringLiteral("WINDOWS/SYSTEM.INI"));
    const Run run = vendral({QStringLiteral("--drive=C=") + c.dir.path(), QStringLiteral("--report")});
    QCOMPARE(run.exitCode, 1);
    const QJsonObject report = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(report.value(QLatin1String("error")).toString(),
             QStringLiteral("Kan ikke lese C:\\WINDOWS\\SYSTEM.INI: filen finnes ikke."));
    // What was read before the failure is in the report.
    QCOMPARE(strings(report.value(QLatin1String("win.ini")).toObject().value(QLatin1String("sections"))),
             (QStringList{"[windows]", "[Desktop]"}));
    QVERIFY(report.value(QLatin1String("system.ini")).toObject().value(QLatin1String("lines")).toArray().isEmpty());
}

void HeadlessTest::controlBytesAreWrittenEscaped()
{
    // ESC, DEL and the C1 controls that Windows-1252 leaves undefined would
    // reach a terminal that reads the report as escape sequences.
    ScratchDrive c;
    c.writeMachine();
    // Quotes and backslashes must be escaped for the report to stay JSON.
    c.write(QStringLiteral("AUTOEXEC.BAT"), "\x1b[2J\x7f\x81\x8d\x8f\x90\x9d\x9b\r\nECHO \"a\" \\ b\r\n");
    const Run run = vendral({QStringLiteral("--drive=C=") + c.dir.path(), QStringLiteral("--report")});
    QCOMPARE(run.exitCode, 0);
    for (const char *raw : {"\x1b", "\x7f", "\xc2\x81", "\xc2\x8d", "\xc2\x8f", "\xc2\x90", "\xc2\x9d"})
        QVERIFY2(!run.out.contains(raw), raw);
    QVERIFY(run.out.contains("\"\\u001b[2J\\u007f\\u0081\\u008d\\u008f\\u0090\\u009d\xe2\x80\xba\""));
    const QJsonObject report = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(strings(report.value(QLatin1String("autoexec.bat")).toObject().value(QLatin1String("lines"))),
             (QStringList{QStringLiteral(u"\u001b[2J\u007f\u0081\u008d\u008f\u0090\u009d\u203a"),
                          QStringLiteral("ECHO \"a\" \\ b")}));
}

void HeadlessTest::check_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("runnable");
    QTest::addColumn<QString>("runPath"); // empty: null
    QTest::newRow("display line") << "Device=c:\\windows\\command\\display.sys con=(ega,,1)" << 0
                                  << "c:\\windows\\command\\display.sys"
                                  << "c:\\windows\\command\\display.sys finnes." << false
                                  << "C:\\WINDOWS\\COMMAND\\DISPLAY.SYS";
    QTest::newRow("program under windows") << "shell=Explorer.exe" << 0 << "Explorer.exe"
                                           << "Explorer.exe finnes." << true << "C:\\WINDOWS\\EXPLORER.EXE";
    QTest::newRow("not found") << "DEVICE=C:\\DOS\\NOPE.SYS" << 1 << "C:\\DOS\\NOPE.SYS"
                               << "C:\\DOS\\NOPE.SYS finnes ikke !" << false << "";
}

void HeadlessTest::check()
{
    QFETCH(QString, line);
    QFETCH(int, exitCode);
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(bool, runnable);
    QFETCH(QString, runPath);
    const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + sample(), QStringLiteral("--check"), line});
    QCOMPARE(run.exitCode, exitCode);
    const QJsonObject r = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(r.keys().size(), 5);
    QCOMPARE(r.value(QLatin1String("path")).toString(), path);
    QCOMPARE(r.value(QLatin1String("found")).toBool(), exitCode == 0);
    QCOMPARE(r.value(QLatin1String("message")).toString(), message);
    QCOMPARE(r.value(QLatin1String("runnable")).toBool(), runnable);
    if (runPath.isEmpty())
        QVERIFY(r.value(QLatin1String("runPath")).isNull());
    else
        QCOMPARE(r.value(QLatin1String("runPath")).toString(), runPath);
}

void HeadlessTest::audit_data()
{
    // Files written over the small machine (an empty text removes the file),
    // what --audit prints and its exit code.
    QTest::addColumn<Files>("files");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("nothing missing") << Files{} << QByteArray() << 0;
    QTest::newRow("missing, in load order")
        << Files{{"WINDOWS/SYSTEM.INI", "[boot]\r\nshell=Explorer.exe\r\ndrivers=mmsystem.dll\r\n"},
                 {"CONFIG.SYS", "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\nREM CD-ROM\r\n"
                                "DEVICE=C:\\CDROM\\OAKCDROM.SYS /D:MSCD001\r\n"},
                 {"MSDOS.SYS", "[Paths]\r\nWinDir=C:\\WINDOWS\r\nWinBootDir=C:\\WIN95\r\n"}}
        << QByteArray("C:\\MSDOS.SYS:3: C:\\WIN95 finnes ikke\n"
                      "C:\\CONFIG.SYS:4: C:\\CDROM\\OAKCDROM.SYS finnes ikke\n"
                      "C:\\WINDOWS\\SYSTEM.INI:3: mmsystem.dll finnes ikke\n")
        << 1;
    QTest::newRow("unreadable files, the others still audited")
        << Files{{"CONFIG.SYS", ""}, {"WINDOWS/WIN.INI", ""}, {"AUTOEXEC.BAT", "MSCDEX /D:MSCD001\r\n"}}
        << QByteArray("C:\\CONFIG.SYS: kan ikke leses (filen finnes ikke)\n"
                      "C:\\AUTOEXEC.BAT:1: MSCDEX finnes ikke\n"
                      "C:\\WINDOWS\\WIN.INI: kan ikke leses (filen finnes ikke)\n")
        << 1;
    QTest::newRow("control bytes shown") << Files{{"AUTOEXEC.BAT", "C:\\\x1b[2J\x9b.EXE\r\n"}}
                                         << QByteArray("C:\\AUTOEXEC.BAT:1: C:\\\\x1b[2J\xe2\x80\xba.EXE finnes ikke\n") << 1;
    QTest::newRow("a called batch file's line, and a file loaded without a line")
        << Files{{"AUTOEXEC.BAT", "CALL C:\\GAMES\\GO\r\n"}, {"GAMES/GO.BAT", "CD \\GAMES\r\n\r\nDOOM2\r\n"},
                 {"WINDOWS/IFSHLP.SYS", ""}}
        << QByteArray("C:\\MSDOS.SYS:2: C:\\WINDOWS\\IFSHLP.SYS finnes ikke\n"
                      "C:\\GAMES\\GO.BAT:3: DOOM2 finnes ikke\n")
        << 1;
}

void HeadlessTest::audit()
{
    QFETCH(Files, files);
    QFETCH(QByteArray, out);
    QFETCH(int, exitCode);
    ScratchDrive c;
    c.writeMachine();
    for (const char *file : {"COMMAND.COM", "WINDOWS/HIMEM.SYS", "WINDOWS/IFSHLP.SYS", "WINDOWS/WIN.COM",
                             "WINDOWS/SYSTEM/VMM32.VXD", "WINDOWS/EXPLORER.EXE"})
        c.write(QLatin1String(file), "x");
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (it.value().isEmpty())
            c.remove(it.key());
        else
            c.write(it.key(), it.value());
    }
    const Run run = vendral({QStringLiteral("--drive=C=") + c.dir.path(), QStringLiteral("--audit")});
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(run.err.isEmpty());
}

void HeadlessTest::auditAsJson()
{
    ScratchDrive c;
    c.writeMachine();
    for (const char *file : {"COMMAND.COM", "WINDOWS/IFSHLP.SYS", "WINDOWS/WIN.COM", "WINDOWS/SYSTEM/VMM32.VXD"})
        c.write(QLatin1String(file), "x");
    c.write(QStringLiteral("AUTOEXEC.BAT"), "@ECHO OFF\r\nCALL GO\r\n");
    c.write(QStringLiteral("GO.BAT"), "REM\r\nGONE\r\n");
    c.remove(QStringLiteral("WINDOWS/WIN.INI"));
    const Run run = vendral({QStringLiteral("--audit"), QStringLiteral("--json"), QStringLiteral("--drive=C=") + c.dir.path()});
    QCOMPARE(run.exitCode, 1);
    QJsonParseError error;
    const QJsonObject audit = QJsonDocument::fromJson(run.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonArray missing = audit.value(QLatin1String("missing")).toArray();
    QCOMPARE(missing.size(), 3); // HIMEM.SYS, GO.BAT's GONE and Explorer.exe
    const QJsonObject himem = missing.first().toObject();
    QCOMPARE(himem.value(QLatin1String("file")).toString(), QStringLiteral("C:\\CONFIG.SYS"));
    QCOMPARE(himem.value(QLatin1String("line")).toInt(), 1);
    QCOMPARE(himem.value(QLatin1String("name")).toString(), QStringLiteral("C:\\WINDOWS\\HIMEM.SYS"));
    QCOMPARE(himem.value(QLatin1String("path")).toString(), QStringLiteral("C:\\WINDOWS\\HIMEM.SYS"));
    QVERIFY(!himem.contains(QLatin1String("calledFrom")));
    // A called batch file's line: that file and line, and the line calling it.
    const QJsonObject gone = missing.at(1).toObject();
    QCOMPARE(gone.value(QLatin1String("file")).toString(), QStringLiteral("C:\\GO.BAT"));
    QCOMPARE(gone.value(QLatin1String("line")).toInt(), 2);
    QCOMPARE(gone.value(QLatin1String("calledFrom")).toObject(),
             (QJsonObject{{"file", "C:\\AUTOEXEC.BAT"}, {"line", 2}}));
    QCOMPARE(missing.last().toObject().value(QLatin1String("path")).toString(), QStringLiteral("C:\\WINDOWS\\SYSTEM\\EXPLORER.EXE"));
    const QJsonArray unreadable = audit.value(QLatin1String("unreadable")).toArray();
    QCOMPARE(unreadable.size(), 1);
    QCOMPARE(unreadable.first().toObject().value(QLatin1String("file")).toString(), QStringLiteral("C:\\WINDOWS\\WIN.INI"));
    QCOMPARE(unreadable.first().toObject().value(QLatin1String("reason")).toString(), QStringLiteral("filen finnes ikke"));
}

// The project's Windows 98 SE drive holds every file its start-up loads:
// the audit names none. With files deleted at random it names exactly those.
void HeadlessTest::auditOfAFullWindows98Drive()
{
    const QString source = QFileInfo(qEnvironmentVariable("VENDRAL_EXAMPLES")).dir().filePath(QStringLiteral("win98se"));
    QTemporaryDir copy;
    QStringList deletable; // relative paths, as the drive holds them
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    // Not deleted: the start-up files themselves, the batch files (whose
    // lines would go with them), IO.SYS (which names no file) and the
    // files given as a program's arguments, which the audit does not read.
    static const QStringList kept = {"IO.SYS", "MSDOS.SYS", "CONFIG.SYS", "AUTOEXEC.BAT", "SYSTEM.INI",
                                     "WIN.INI", "EGA.CPI", "KEYBOARD.SYS"};
    while (it.hasNext()) {
        const QString file = it.next();
        const QString relative = QDir(source).relativeFilePath(file);
        QVERIFY(QDir().mkpath(QFileInfo(copy.filePath(relative)).path()));
        QVERIFY(QFile::copy(file, copy.filePath(relative)));
        if (!kept.contains(it.fileName()) && !relative.endsWith(QLatin1String(".BAT")))
            deletable.append(relative);
    }
    QVERIFY(deletable.size() > 40);
    const auto audit = [&copy] {
        return vendral({QStringLiteral("--drive=C=") + copy.path(), QStringLiteral("--audit"), QStringLiteral("--json")});
    };
    Run run = audit();
    const QJsonObject clean = QJsonDocument::fromJson(run.out).object();
    QVERIFY2(clean.value(QLatin1String("missing")).toArray().isEmpty() && clean.contains(QLatin1String("unreadable"))
                 && clean.value(QLatin1String("unreadable")).toArray().isEmpty(),
             run.out.constData());
    QCOMPARE(run.exitCode, 0);

    for (quint32 seed = 1; seed <= 5; ++seed) {
        QRandomGenerator random(seed);
        QStringList deleted = deletable;
        std::shuffle(deleted.begin(), deleted.end(), random);
        deleted = deleted.mid(0, 20);
        for (const QString &file : deleted)
            QVERIFY(QFile::remove(copy.filePath(file)));
        run = audit();
        QCOMPARE(run.exitCode, 1);
        // A finding names a deleted file where it was looked for; a name
        // written without its extension is looked for without one.
        QSet<QString> named;
        for (const QJsonValue &finding : QJsonDocument::fromJson(run.out).object().value(QLatin1String("missing")).toArray()) {
            const QString path = finding.toObject().value(QLatin1String("path")).toString();
            named.insert(path.section(QLatin1Char('\\'), -1).toUpper());
        }
        QSet<QString> expected;
        for (const QString &file : deleted) {
            const QString name = QFileInfo(file).fileName().toUpper();
            expected.insert(named.contains(name) ? name : name.section(QLatin1Char('.'), 0, 0));
        }
        QCOMPARE(named, expected);
        for (const QString &file : deleted)
            QFile::copy(QDir(source).filePath(file), copy.filePath(file));
    }
}

void HeadlessTest::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown") << QStringList{"--frobnicate"};
    QTest::newRow("drive without value") << QStringList{"--report", "--drive"};
    QTest::newRow("drive without letter") << QStringList{"--drive", "/tmp", "--report"};
    QTest::newRow("drive letter not a letter") << QStringList{"--drive", "1=/tmp", "--report"};
    QTest::newRow("missing drive directory") << QStringList{"--drive", "C=/nonexistent/vendral", "--report"};
    QTest::newRow("check without line") << QStringList{"--check"};
    QTest::newRow("two modes") << QStringList{"--report", "--check", "x"};
    QTest::newRow("json without audit") << QStringList{"--json", "--report"};
    QTest::newRow("audit of a missing drive directory") << QStringList{"--drive", "C=/nonexistent/vendral", "--audit"};
    QTest::newRow("same letter twice") << QStringList{"--drive", "C=" + sample(), "--drive", "c=" + sample(), "--report"};
    // "IMAGE#N" takes a partition number, digits only (the file before the
    // "#" exists and is no disk, so #5 finds no logical drive either).
    for (const char *suffix : {"#02", "#+2", "# 2", "#5", "#100", "#"})
        QTest::addRow("partition %s", suffix) << QStringList{"--drive", "C=" + sample() + "/CONFIG.SYS" + suffix, "--report"};
    QTest::newRow("newline in an argument stays one line") << QStringList{"--bogus\nsecond line"};
    QTest::newRow("newline in a drive") << QStringList{"--drive", "C=/nonexistent\n/x", "--report"};
}

void HeadlessTest::badArguments()
{
    QFETCH(QStringList, arguments);
    const Run run = vendral(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.err.startsWith("vendral: "));
}

void HeadlessTest::helpAndVersion()
{
    const Run help = vendral({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    for (const char *option : {"--drive", "--report", "--check", "--audit", "--json", "--help", "--version"})
        QVERIFY2(help.out.contains(option), option);
    const Run version = vendral({QStringLiteral("--version")});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith("vendral " VENDRAL_VERSION));
}

// Help, argument errors and the audit's lines are in the user's language:
// Norwegian for Scandinavian readers and a C locale, English for others,
// --lang over both. JSON stays Norwegian whatever the language.
void HeadlessTest::languageOfTheText_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QByteArray>("expected"); // on standard output, else standard error
    const QStringList audit{QStringLiteral("--audit"), QStringLiteral("--drive=C=") + sample()};
    const QStringList check{QStringLiteral("--check"), QStringLiteral("DEVICE=C:\\NOPE.SYS"),
                            QStringLiteral("--drive=C=") + sample()};
    const QStringList german{QStringLiteral("LC_ALL="), QStringLiteral("LANGUAGE="), QStringLiteral("LANG=de_DE.UTF-8")};
    QTest::newRow("help, --lang nb") << QStringList{"--help", "--lang", "nb"} << german << QByteArray("Bruk: vendral");
    QTest::newRow("help, --lang en") << QStringList{"--lang=en", "--help"} << QStringList() << QByteArray("Usage: vendral");
    QTest::newRow("help, German") << QStringList{"--help"} << german << QByteArray("  --check LINE ");
    QTest::newRow("help, Swedish")
        << QStringList{"--help"} << QStringList{"LC_ALL=", "LANGUAGE=", "LANG=sv_SE.UTF-8"} << QByteArray("Bruk: vendral");
    QTest::newRow("help, German then Danish")
        << QStringList{"--help"} << QStringList{"LC_ALL=", "LANGUAGE=de:da", "LANG=de_DE.UTF-8"} << QByteArray("Bruk:");
    QTest::newRow("help, C") << QStringList{"--help"} << QStringList{"LC_ALL=C", "LANGUAGE="} << QByteArray("Bruk:");
    QTest::newRow("bad argument, German") << QStringList{"--bogus"} << german
                                          << QByteArray("vendral: unknown argument: --bogus (see --help)\n");
    QTest::newRow("bad --lang") << QStringList{"--lang", "de", "--help"} << QStringList{"LC_ALL=C"}
                                << QByteArray("vendral: --lang trenger nb (norsk) eller en (engelsk)\n");
    QTest::newRow("audit, --lang en") << QStringList{"--lang", "en"} + audit << QStringList()
                                      << QByteArray("C:\\CONFIG.SYS:5: C:\\CDROM\\OAKCDROM.SYS does not exist\n");
    // Read in a copy the copy maker made, which speaks the user's language too.
    static const auto badLink = [] {
        auto drive = std::make_unique<ScratchDrive>();
        drive->writeMachine();
        drive->write(QStringLiteral("WINDOWS/Start Menu/Programs/StartUp/Bad.lnk"), "not a link");
        return drive;
    }();
    QTest::newRow("a reader's reason, --lang en")
        << QStringList{"--lang", "en", "--audit", QStringLiteral("--drive=C=") + badLink->dir.path()} << QStringList()
        << QByteArray("Bad.lnk: cannot be read (the file is not a readable shortcut)\n");
    QTest::newRow("audit JSON, German") << audit + QStringList{"--json"} << german << QByteArray("\"missing\"");
    QTest::newRow("check JSON, --lang en") << QStringList{"--lang", "en"} + check << QStringList()
                                           << QByteArray("C:\\\\NOPE.SYS finnes ikke !");
}

void HeadlessTest::languageOfTheText()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(QByteArray, expected);
    const Run run = vendral(arguments, environment);
    const QByteArray &text = run.out.isEmpty() ? run.err : run.out;
    QVERIFY2(text.contains(expected), text.constData());
    if (arguments.contains(QLatin1String("--json")) || arguments.contains(QLatin1String("--check"))) {
        // The same bytes as a Norwegian run's.
        QStringList norwegian = arguments;
        const qsizetype lang = norwegian.indexOf(QLatin1String("--lang"));
        if (lang >= 0)
            norwegian.remove(lang, 2);
        QCOMPARE(run.out, vendral(norwegian, {QStringLiteral("LC_ALL=C")}).out);
    }
}

// A folder or Wine prefix whose name is not UTF-8 (Latin-1 "maskin\xe6")
// is reached by the bytes the system gave.
void HeadlessTest::drivePathsAreBytes_data()
{
    QTest::addColumn<bool>("winePrefix");
    QTest::newRow("--drive") << false;
    QTest::newRow("WINEPREFIX") << true;
}

void HeadlessTest::drivePathsAreBytes()
{
    QFETCH(bool, winePrefix);
    ScratchDrive machine;
    machine.writeMachine();
    QTemporaryDir root;
    const QByteArray latin1 = QFile::encodeName(root.path()) + "/maskin\xe6";
    QByteArray drive = latin1;
    QList<QByteArray> environment;
    if (winePrefix) {
        QCOMPARE(::mkdir(latin1.constData(), 0700), 0);
        QCOMPARE(::mkdir(QByteArray(latin1 + "/dosdevices").constData(), 0700), 0);
        drive = latin1 + "/dosdevices/c:";
        environment = {"WINEPREFIX=" + latin1};
    }
    QCOMPARE(::symlink(QFile::encodeName(machine.dir.path()).constData(), drive.constData()), 0);
    QList<QByteArray> arguments{qgetenv("VENDRAL_BINARY")};
    if (!winePrefix)
        arguments += {"--drive", "C=" + drive};
    arguments.append("--report");
    const MeasuredRun run = runMeasured(arguments, environment);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(strings(QJsonDocument::fromJson(run.out).object().value(QLatin1String("config.sys")).toObject().value(QLatin1String("lines"))).first(),
             QStringLiteral("DEVICE=C:\\WINDOWS\\HIMEM.SYS"));
}

// Start-up files larger than the memory the program may have: one line and
// exit 2, never an abort.
void HeadlessTest::outOfMemoryIsOneLine()
{
    if (kSanitized)
        QSKIP("AddressSanitizer reserves more address space than the limit allows");
    ScratchDrive machine;
    machine.writeMachine();
    QByteArray config;
    for (int i = 0; i < 1500000; ++i)
        config += "DEVICE=C:\\WINDOWS\\NOPE" + QByteArray::number(i) + ".SYS\r\n";
    machine.write(QStringLiteral("CONFIG.SYS"), config);
    const MeasuredRun run = runMeasured({qgetenv("VENDRAL_BINARY"), "--drive", "C=" + QFile::encodeName(machine.dir.path()), "--audit"},
                                        {}, qint64(250) << 20);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.startsWith("vendral: ikke nok minne"), run.err.constData());
}

// Started from the desktop, nobody reads standard error: a disk that cannot
// be opened is shown in a box (the program waits on it) and also written as
// the same line on standard error.
void HeadlessTest::windowModeShowsABadDiskInABox()
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("VENDRAL_BINARY"), {QStringLiteral("/nonexistent/vendral.img")});
    QVERIFY(process.waitForStarted());
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += process.readAllStandardError())
                                 .contains("vendral: /nonexistent/vendral.img er verken en mappe eller et diskbilde\n"),
                             10000);
    QVERIFY(!process.waitForFinished(500)); // the box is open
    process.kill();
    process.waitForFinished();
}

QTEST_GUILESS_MAIN(HeadlessTest)
#include "tst_headless.moc"
