// The audit of the start-up files against a small drive: one table per kind
// of file, each row a text and the findings it must give.
#include "audit/startupaudit.h"
#include "loading/configstate.h"
#include "loading/failure.h"
#include "loading/loadsequence.h"
#include "scratchdrive.h"

#include <QTest>

namespace {

// "line: name -> path found|missing", joined by "; "; a finding of a batch
// file the line runs says which file and line: "line: FILE:line: name ...".
QByteArray describe(const AuditFindings &findings)
{
    QByteArrayList parts;
    for (const AuditFinding &f : findings) {
        const QByteArray called =
            f.source.isEmpty() ? QByteArray() : f.source.toByteArray() + ':' + QByteArray::number(f.sourceLine + 1) + ": ";
        parts.append(QByteArray::number(f.line + 1) + ": " + called + f.name + " -> " + f.path
                     + (f.found ? " found" : " missing"));
    }
    return parts.join("; ");
}

// A row's text in two: CONFIG.SYS before a "--" line, the file after it.
std::pair<QByteArray, QByteArray> configAndText(const QByteArray &text)
{
    const qsizetype split = text.indexOf("\r\n--\r\n");
    return split < 0 ? std::pair(QByteArray(), text) : std::pair(text.left(split), text.mid(split + 6));
}

// Lists every directory through a real drive, counting the listings.
class CountingDrive : public DirectoryDrive
{
public:
    using DirectoryDrive::DirectoryDrive;
    Result<QList<DirEntry>> listDirectory(const QStringList &components) const override
    {
        ++listings[components.join(QLatin1Char('\\'))];
        return DirectoryDrive::listDirectory(components);
    }
    Result<bool> visitDirectory(const QStringList &components, Visitor &visit) const override
    {
        ++listings[components.join(QLatin1Char('\\'))];
        return DirectoryDrive::visitDirectory(components, visit);
    }
    mutable QHash<QString, int> listings;
};

} // namespace

class AuditTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void msDosSys_data();
    void msDosSys();
    void configSys_data();
    void configSys();
    void autoexecBat_data();
    void autoexecBat();
    void systemIni_data();
    void systemIni();
    void winIni_data();
    void winIni();
    void listsEachDirectoryOnce();
    void nameSetsFindEveryNameAndNoOther();
    void partsAuditInTheContextOfTheLinesBefore();

private:
    AuditFindings audit(const StartupFile &file, const QByteArray &text, const QByteArray &autoexec = {},
                        const QByteArray &config = {});
    ScratchDrive m_drive;
};

void AuditTest::initTestCase()
{
    // The Windows directory is C:\WIN98; C:\WINDOWS holds only decoys.
    for (const char *file : {"COMMAND.COM", "START.BAT", "WIN98/HIMEM.SYS", "WIN98/EMM386.EXE",
                             "WIN98/START.EXE", "WIN98/EXPLORER.EXE", "WIN98/COMMAND/COUNTRY.SYS",
                             "WIN98/COMMAND/MSCDEX.EXE", "WIN98/COMMAND/DOSKEY.COM", "WIN98/SYSTEM/MMSYSTEM.DLL",
                             "WIN98/SYSTEM/COMM.DRV", "WIN98/SYSTEM/SYSTRAY.EXE", "WIN98/SYSTEM/VMM32/IOS.VXD",
                             "WIN98/SYSTEM/VSHARE.386", "WIN98/FONTS/VGASYS.FON", "mouse/Mouse.com",
                             "UTILS/SCAN.COM", "UTILS/SCAN.EXE", "UTILS/SCAN.BAT", "UTILS/ONLY.BAT", "WINDOWS/SYSTEM/OLD.DLL",
                             "WINDOWS/COMMAND/OLDDOS.EXE", "CDROM/OAKCDROM.SYS/KEEP"})
        m_drive.write(QString::fromLatin1(file), QByteArray(file).endsWith(".BAT") ? "@ECHO OFF" : "x");
    // A name beyond ASCII, which the host folder spells in UTF-8.
    m_drive.write(QStringLiteral(u"UTILS/TAST\u00C6.SYS"), "x");
    // Batch files that call one another.
    m_drive.write(QStringLiteral("GAMES/GO.BAT"), "@ECHO OFF\r\nCD \\GAMES\r\nDOOM\r\nCALL NEXT\r\nGONE\r\n");
    m_drive.write(QStringLiteral("GAMES/NEXT.BAT"), "CALL GO.BAT\r\nSET PATH=C:\\UTILS\r\n\x1a\r\nGONE2\r\n");
    m_drive.write(QStringLiteral("GAMES/DOOM.EXE"), "x");
    for (int i = 0; i < 10; ++i)
        m_drive.write(QStringLiteral("DEEP/D%1.BAT").arg(i), "C:\\DEEP\\D" + QByteArray::number(i + 1) + ".BAT\r\n");
    // "WIN98\SYSTEM\MMSYSTEM.DLL" named as a directory elsewhere: only files count.
    QDir().mkpath(m_drive.hostPath(QStringLiteral("WIN98/GHOST.EXE")));
}

AuditFindings AuditTest::audit(const StartupFile &file, const QByteArray &text, const QByteArray &autoexec,
                               const QByteArray &config)
{
    ConfigState state;
    state.WD = state.WBD = "C:\\WIN98";
    state.AutoMemo.replaceWithText(autoexec);
    state.ConfigMemo.replaceWithText(config);
    (state.*file.lines).replaceWithText(text);
    return StartupAudit(state, m_drive.drives).auditFile(file);
}

void AuditTest::msDosSys_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("findings");
    // What IO.SYS and WIN.COM load with no line naming them, on WinDir's line.
    // (The drive has them in C:\\WIN98, all but WIN.COM.)
    const auto loads = [](const char *line, const QByteArray &winDir, bool bootGui = false) -> QByteArray {
        QByteArray found = QByteArray(line) + ": C:\\COMMAND.COM -> C:\\COMMAND.COM found";
        for (const char *name : {"HIMEM.SYS", "IFSHLP.SYS", "WIN.COM", "SYSTEM\\VMM32.VXD"}) {
            const QByteArray path = winDir + '\\' + name;
            if (path.endsWith("WIN.COM") && !bootGui)
                continue;
            found += "; " + QByteArray(line) + ": " + path + " -> " + path
                     + (winDir == "C:\\WIN98" && !path.endsWith("WIN.COM") ? " found" : " missing");
        }
        return found;
    };
    QTest::newRow("both directories") << QByteArray("[Paths]\r\nWinDir=C:\\WIN98\r\nWinBootDir=c:\\win98\r\n")
                                      << "2: C:\\WIN98 -> C:\\WIN98 found; " + loads("2", "C:\\WIN98")
                                             + "; 3: c:\\win98 -> C:\\WIN98 found";
    QTest::newRow("missing directory, in line order") << QByteArray("[Paths]\r\nWinBootDir=C:\\WIN98\r\nWinDir=C:\\WINME\r\n")
                                                      << "2: C:\\WIN98 -> C:\\WIN98 found; 3: C:\\WINME -> C:\\WINME missing; "
                                                             + loads("3", "C:\\WINME");
    QTest::newRow("a file is no directory, no WinDir: no Windows files")
        << QByteArray("[Paths]\r\nWinBootDir=C:\\COMMAND.COM\r\n")
        << QByteArray("1: C:\\COMMAND.COM -> C:\\COMMAND.COM found; 2: C:\\COMMAND.COM -> C:\\COMMAND.COM missing");
    QTest::newRow("key in any case, leading blanks") << QByteArray(";x\r\n[Paths]\r\n  windir=C:\\UTILS \r\n")
                                                     << "3: C:\\UTILS -> C:\\UTILS found; " + loads("3", "C:\\UTILS");
    QTest::newRow("outside [Paths]") << QByteArray("[Options]\r\nWinDir=C:\\WINME\r\n")
                                     << QByteArray("1: C:\\COMMAND.COM -> C:\\COMMAND.COM found");
    QTest::newRow("BootGUI=1 loads WIN.COM") << QByteArray("[Paths]\r\nWinDir=C:\\WIN98\r\n[Options]\r\nBootGUI=1\r\n")
        << "2: C:\\WIN98 -> C:\\WIN98 found; " + loads("2", "C:\\WIN98", true);
    // CONFIG.SYS (after "--") loads HIMEM.SYS and names the interpreter itself.
    QTest::newRow("CONFIG.SYS's own HIMEM.SYS and SHELL=")
        << QByteArray("DEVICE=C:\\DOS\\HIMEM.SYS\r\nSHELL=C:\\DOS\\COMMAND.COM\r\n--\r\n[Paths]\r\nWinDir=C:\\WIN98\r\n")
        << QByteArray("2: C:\\WIN98 -> C:\\WIN98 found; 2: C:\\WIN98\\IFSHLP.SYS -> C:\\WIN98\\IFSHLP.SYS found; "
                      "2: C:\\WIN98\\SYSTEM\\VMM32.VXD -> C:\\WIN98\\SYSTEM\\VMM32.VXD found");
    // In small letters, after another name of the line, and a name that
    // only ends in HIMEM.SYS.
    QTest::newRow("CONFIG.SYS's own ifshlp.sys, in small letters")
        << QByteArray("device=c:\\dos\\himem.sys.old /x\r\ninstall=c:\\x.exe c:\\win98\\ifshlp.sys\r\n"
                      "devicehigh=c:\\win98\\ifshlp.sys\r\nDEVICE=C:\\MYHIMEM.SYS\r\nshell=c:\\dos\\command.com\r\n--\r\n"
                      "[Paths]\r\nWinDir=C:\\WIN98\r\n")
        << QByteArray("2: C:\\WIN98 -> C:\\WIN98 found; 2: C:\\WIN98\\HIMEM.SYS -> C:\\WIN98\\HIMEM.SYS found; "
                      "2: C:\\WIN98\\SYSTEM\\VMM32.VXD -> C:\\WIN98\\SYSTEM\\VMM32.VXD found");
}

void AuditTest::msDosSys()
{
    // Through the real load, which fills WinDir and WinBootDir.
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, findings);
    const auto [config, msdos] = configAndText(text);
    ScratchDrive drive;
    drive.write(QStringLiteral("CONFIG.SYS"), config);
    drive.write(QStringLiteral("AUTOEXEC.BAT"), "");
    drive.write(QStringLiteral("MSDOS.SYS"), msdos);
    for (const char *dir : {"WIN98", "UTILS"})
        QDir().mkpath(drive.hostPath(QLatin1String(dir)));
    for (const char *file : {"COMMAND.COM", "WIN98/HIMEM.SYS", "WIN98/IFSHLP.SYS", "WIN98/SYSTEM/VMM32.VXD"})
        drive.write(QLatin1String(file), "x");
    ConfigState state;
    try {
        LoadSequence(state, drive.drives).HentKnappClick();
    } catch (const FileError &) {
        // No WIN.INI: the MSDOS.SYS values are in by then.
    }
    QCOMPARE(describe(StartupAudit(state, drive.drives).auditFile(startupfiles::msdosSys)), findings);
}

void AuditTest::configSys_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("findings");
    QTest::newRow("device") << QByteArray("DEVICE=C:\\WIN98\\HIMEM.SYS")
                            << QByteArray("1: C:\\WIN98\\HIMEM.SYS -> C:\\WIN98\\HIMEM.SYS found");
    QTest::newRow("missing, any case, blanks") << QByteArray("  device = c:\\cdrom\\oakcdrom.sys /D:MSCD001")
                                               << QByteArray("1: c:\\cdrom\\oakcdrom.sys -> C:\\CDROM\\OAKCDROM.SYS missing");
    QTest::newRow("devicehigh, options before =") << QByteArray("DEVICEHIGH /L:1,12048 /S =C:\\WIN98\\EMM386.EXE NOEMS")
                                                  << QByteArray("1: C:\\WIN98\\EMM386.EXE -> C:\\WIN98\\EMM386.EXE found");
    QTest::newRow("devicehigh, options after =") << QByteArray("DeviceHigh=/L:2 /S C:\\WIN98\\COMMAND\\DISPLAY.SYS")
                                                 << QByteArray("1: C:\\WIN98\\COMMAND\\DISPLAY.SYS -> C:\\WIN98\\COMMAND\\DISPLAY.SYS missing");
    QTest::newRow("older size, blank for =") << QByteArray("devicehigh size=1A0 C:\\WIN98\\HIMEM.SYS\r\nDEVICE C:\\X.SYS")
                                             << QByteArray("1: C:\\WIN98\\HIMEM.SYS -> C:\\WIN98\\HIMEM.SYS found; 2: C:\\X.SYS -> C:\\X.SYS missing");
    QTest::newRow("switch glued to the name") << QByteArray("DEVICE=C:\\WIN98\\HIMEM.SYS/TESTMEM:OFF")
                                              << QByteArray("1: C:\\WIN98\\HIMEM.SYS -> C:\\WIN98\\HIMEM.SYS found");
    QTest::newRow("bare name from the root") << QByteArray("DEVICE=HIMEM.SYS") << QByteArray("1: HIMEM.SYS -> C:\\HIMEM.SYS missing");
    QTest::newRow("a name beyond ASCII, in small letters")
        << QByteArray("DEVICE=c:\\utils\\tast\xe6.sys") << QByteArray("1: c:\\utils\\tast\xe6.sys -> C:\\UTILS\\TAST\xc6.SYS found");
    QTest::newRow("install and installhigh") << QByteArray("INSTALL=C:\\WIN98\\COMMAND\\DOSKEY.COM\r\nINSTALLHIGH=/L:1 SHARE.EXE")
                                             << QByteArray("1: C:\\WIN98\\COMMAND\\DOSKEY.COM -> C:\\WIN98\\COMMAND\\DOSKEY.COM found; "
                                                           "2: SHARE.EXE -> C:\\SHARE.EXE missing");
    QTest::newRow("shell, first word") << QByteArray("SHELL=C:\\COMMAND.COM C:\\ /E:1024 /P")
                                       << QByteArray("1: C:\\COMMAND.COM -> C:\\COMMAND.COM found");
    QTest::newRow("country, third field") << QByteArray("COUNTRY=047,850,C:\\WIN98\\COMMAND\\COUNTRY.SYS\r\nCOUNTRY=047,,NO.SYS\r\nCOUNTRY=047,850")
                                          << QByteArray("1: C:\\WIN98\\COMMAND\\COUNTRY.SYS -> C:\\WIN98\\COMMAND\\COUNTRY.SYS found; "
                                                        "2: NO.SYS -> C:\\NO.SYS missing");
    QTest::newRow("asking form") << QByteArray("DEVICE?=GONE.SYS") << QByteArray("1: GONE.SYS -> C:\\GONE.SYS missing");
    QTest::newRow("a directory is no file") << QByteArray("DEVICE=C:\\CDROM\\OAKCDROM.SYS")
                                            << QByteArray("1: C:\\CDROM\\OAKCDROM.SYS -> C:\\CDROM\\OAKCDROM.SYS missing");
    QTest::newRow("Ctrl-Z ends the file") << QByteArray("DEVICE=HIMEM.SYS\x1a\r\nDEVICE=GONE.SYS\r\n\x1a\r\nDEVICE=X.SYS")
                                          << QByteArray("1: HIMEM.SYS -> C:\\HIMEM.SYS missing");
    QTest::newRow("not files") << QByteArray("REM DEVICE=GONE.SYS\r\n;DEVICE=GONE.SYS\r\n[menu]\r\nFILES=40\r\n"
                                             "DEVICES=GONE.SYS\r\nBUFFERS=20,0\r\nDOS=HIGH,UMB\r\nDEVICE=")
                               << QByteArray();
    QTest::newRow("line numbers count every line") << QByteArray("[COMMON]\r\n\r\nREM\r\nDEVICE=X.SYS")
                                                   << QByteArray("4: X.SYS -> C:\\X.SYS missing");
}

void AuditTest::configSys()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, findings);
    QCOMPARE(describe(audit(startupfiles::configSys, text)), findings);
}

void AuditTest::autoexecBat_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("findings");
    QTest::newRow("default path is WinDir and its COMMAND") << QByteArray("MSCDEX /D:MSCD001\r\nOLDDOS")
        << QByteArray("1: MSCDEX -> C:\\WIN98\\COMMAND\\MSCDEX.EXE found; 2: OLDDOS -> C:\\OLDDOS missing");
    QTest::newRow("after @, LH and its options, CALL") << QByteArray("@LH /L:0;1,42384 /S C:\\MOUSE\\MOUSE\r\n@ call only\r\nLOADHIGH=DOSKEY")
        << QByteArray("1: C:\\MOUSE\\MOUSE -> C:\\MOUSE\\MOUSE.COM found; 2: only -> C:\\ONLY missing; "
                      "3: DOSKEY -> C:\\WIN98\\COMMAND\\DOSKEY.COM found");
    QTest::newRow("current directory before the path") << QByteArray("START")
                                                       << QByteArray("1: START -> C:\\START.BAT found");
    QTest::newRow("extensions in order") << QByteArray("PATH C:\\UTILS\r\nSCAN\r\nSCAN.BAT\r\nONLY")
        << QByteArray("2: SCAN -> C:\\UTILS\\SCAN.COM found; 3: SCAN.BAT -> C:\\UTILS\\SCAN.BAT found; "
                      "4: ONLY -> C:\\UTILS\\ONLY.BAT found");
    QTest::newRow("path as set by that line") << QByteArray("ONLY\r\nSET PATH=C:\\UTILS\r\nONLY\r\npath ;\r\nONLY\r\nMSCDEX")
        << QByteArray("1: ONLY -> C:\\ONLY missing; 3: ONLY -> C:\\UTILS\\ONLY.BAT found; 5: ONLY -> C:\\ONLY missing; "
                      "6: MSCDEX -> C:\\MSCDEX missing");
    QTest::newRow("path with %PATH% and blanks") << QByteArray("PATH=C:\\UTILS\r\npath = %path%; c:\\mouse \r\nONLY\r\nmouse")
        << QByteArray("3: ONLY -> C:\\UTILS\\ONLY.BAT found; 4: mouse -> C:\\MOUSE\\MOUSE.COM found");
    QTest::newRow("variables in the program") << QByteArray("SET U=C:\\UTILS\r\n%U%\\SCAN\r\n%WINDIR%\\EXPLORER.EXE\r\n%NOBODY%\\X\r\n%1")
        << QByteArray("2: %U%\\SCAN -> C:\\UTILS\\SCAN.COM found; 3: %WINDIR%\\EXPLORER.EXE -> C:\\WIN98\\EXPLORER.EXE found");
    QTest::newRow("a directory is no program") << QByteArray("C:\\WIN98\\GHOST.EXE")
                                               << QByteArray("1: C:\\WIN98\\GHOST.EXE -> C:\\WIN98\\GHOST.EXE missing");
    QTest::newRow("quoted name, arguments not audited") << QByteArray("\"C:\\UTILS\\SCAN.EXE\" GONE.EXE")
        << QByteArray("1: C:\\UTILS\\SCAN.EXE -> C:\\UTILS\\SCAN.EXE found");
    QTest::newRow("CD sets where a program is looked for first")
        << QByteArray("CD \\WIN98\r\nSTART\r\ncd mouse\r\nMOUSE\r\nCD\\MOUSE\r\nMOUSE\r\nCD..\r\nSTART")
        << QByteArray("2: START -> C:\\WIN98\\START.EXE found; 4: MOUSE -> C:\\WIN98\\MOUSE missing; "
                      "6: MOUSE -> C:\\MOUSE\\MOUSE.COM found; 8: START -> C:\\START.BAT found");
    QTest::newRow("each drive its own directory") << QByteArray("D:\r\nCD C:\\WIN98\r\nPCISCAN\r\nC:\r\nSTART")
        << QByteArray("3: PCISCAN -> D:\\PCISCAN missing; 5: START -> C:\\WIN98\\START.EXE found");
    QTest::newRow("IF runs its command") << QByteArray("IF EXIST X.BAT GONE\r\nIF NOT ERRORLEVEL 1 START\r\n"
                                                       "if \"%1\"==\"\" ONLY\r\nIF ERRORLEVEL")
        << QByteArray("1: GONE -> C:\\GONE missing; 2: START -> C:\\START.BAT found; 3: ONLY -> C:\\ONLY missing");
    QTest::newRow("FOR runs its command, once per element when it names the variable")
        << QByteArray("FOR %%A IN (*.*) DO GONE\r\nPATH C:\\UTILS\r\nfor %%f in (SCAN,*.BAT;X) do LH %%f /Y\r\n"
                      "FOR %%A IN (Y) DO FOR %%B IN (Z) DO %%B")
        << QByteArray("1: GONE -> C:\\GONE missing; 3: SCAN -> C:\\UTILS\\SCAN.COM found; 3: X -> C:\\X missing");
    // C:\GAMES\GO.BAT changes to C:\GAMES and calls NEXT.BAT, which calls
    // GO.BAT again (a loop), sets the PATH and ends at a Ctrl-Z.
    QTest::newRow("CALL and a plain batch file run their lines, each file once")
        << QByteArray("CALL C:\\GAMES\\GO.BAT\r\nONLY\r\nC:\\GAMES\\GO\r\nGONE")
        << QByteArray("1: C:\\GAMES\\GO.BAT -> C:\\GAMES\\GO.BAT found; "
                      "1: C:\\GAMES\\GO.BAT:3: DOOM -> C:\\GAMES\\DOOM.EXE found; "
                      "1: C:\\GAMES\\GO.BAT:4: NEXT -> C:\\GAMES\\NEXT.BAT found; "
                      "1: C:\\GAMES\\NEXT.BAT:1: GO.BAT -> C:\\GAMES\\GO.BAT found; "
                      "1: C:\\GAMES\\GO.BAT:5: GONE -> C:\\GAMES\\GONE missing; "
                      "2: ONLY -> C:\\UTILS\\ONLY.BAT found; 3: C:\\GAMES\\GO -> C:\\GAMES\\GO.BAT found; "
                      "4: GONE -> C:\\GAMES\\GONE missing");
    QByteArray deep = "1: C:\\DEEP\\D0 -> C:\\DEEP\\D0.BAT found";
    for (int i = 0; i < 8; ++i)
        deep += QByteArray("; 1: C:\\DEEP\\D%1.BAT:1: C:\\DEEP\\D%2.BAT -> C:\\DEEP\\D%2.BAT found")
                    .replace("%1", QByteArray::number(i)).replace("%2", QByteArray::number(i + 1));
    QTest::newRow("calls eight deep at most") << QByteArray("C:\\DEEP\\D0") << deep;
    // CONFIG.SYS's lines before "--": its SHELL= is COMSPEC, its SET lines
    // are the environment AUTOEXEC.BAT starts with.
    QTest::newRow("COMSPEC and SET PATH from CONFIG.SYS")
        << QByteArray("SHELL=C:\\WIN98\\COMMAND.COM /P\r\nSET PATH=C:\\UTILS\r\n--\r\n%COMSPEC% /C ONLY\r\nONLY")
        << QByteArray("1: %COMSPEC% -> C:\\WIN98\\COMMAND.COM missing; 2: ONLY -> C:\\UTILS\\ONLY.BAT found");
    QTest::newRow("COMSPEC without SHELL=") << QByteArray("%COMSPEC%") << QByteArray("1: %COMSPEC% -> C:\\COMMAND.COM found");
    QTest::newRow("Ctrl-Z ends the batch file") << QByteArray("START\x1a\r\nGONE\r\n\x1a\r\nGONE")
                                                << QByteArray("1: START -> C:\\START.BAT found");
    // Each SET doubles A until the 32 KiB of a DOS environment are full;
    // then SET leaves A as it was ("Out of environment space").
    QTest::newRow("SET past the environment's size") << QByteArray("SET A=x\r\n") + QByteArray("SET A=%A%%A%\r\n").repeated(40)
                                                           + "SET PATH=C:\\UTILS\r\nONLY"
                                                     << QByteArray("43: ONLY -> C:\\UTILS\\ONLY.BAT found");
    QTest::newRow("internal commands, labels, REM, drive changes")
        << QByteArray("@ECHO OFF\r\nECHO.\r\nCD\\WIN98\r\ncls\r\nPROMPT $p$g\r\nSET TEMP=C:\\TEMP\r\n"
                      ":END\r\n::note\r\nREM GONE.EXE\r\nGOTO END\r\nD:\r\nVER\r\n@\r\n")
        << QByteArray();
}

void AuditTest::autoexecBat()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, findings);
    const auto [config, autoexec] = configAndText(text);
    QCOMPARE(describe(audit(startupfiles::autoexecBat, autoexec, QByteArray(), config)), findings);
}

void AuditTest::systemIni_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("findings");
    QTest::newRow("shell in WinDir") << QByteArray("[boot]\r\nshell = Explorer.exe")
                                     << QByteArray("2: Explorer.exe -> C:\\WIN98\\EXPLORER.EXE found");
    QTest::newRow("drivers list, SYSTEM before WinDir") << QByteArray("[Boot]\r\ndrivers=mmsystem.dll power.drv, old.dll")
        << QByteArray("2: mmsystem.dll -> C:\\WIN98\\SYSTEM\\MMSYSTEM.DLL found; 2: power.drv -> C:\\WIN98\\SYSTEM\\POWER.DRV missing; "
                      "2: old.dll -> C:\\WIN98\\SYSTEM\\OLD.DLL missing");
    QTest::newRow(".drv and .fon keys") << QByteArray("[boot]\r\ncomm.drv=comm.drv\r\nfonts.fon=vgasys.fon\r\nOEMFONTS.FON=vgaoem.fon\r\n"
                                                      "display.drv=\r\nlanguage.dll=gone.dll\r\n386grabber=gone.3gr")
        << QByteArray("2: comm.drv -> C:\\WIN98\\SYSTEM\\COMM.DRV found; 3: vgasys.fon -> C:\\WIN98\\FONTS\\VGASYS.FON found; "
                      "4: vgaoem.fon -> C:\\WIN98\\SYSTEM\\VGAOEM.FON missing; 6: gone.dll -> C:\\WIN98\\SYSTEM\\GONE.DLL missing; "
                      "7: gone.3gr -> C:\\WIN98\\SYSTEM\\GONE.3GR missing");
    QTest::newRow("386Enh devices") << QByteArray("[386Enh]\r\ndevice=*vshare\r\ndevice=ios.vxd\r\nDEVICE = vshare.386\r\n"
                                                  "device=C:\\WINDOWS\\SYSTEM\\GONE.386\r\ndevice=gone.vxd\r\ndisplay=gone.386")
        << QByteArray("3: ios.vxd -> C:\\WIN98\\SYSTEM\\VMM32\\IOS.VXD found; 4: vshare.386 -> C:\\WIN98\\SYSTEM\\VSHARE.386 found; "
                      "5: C:\\WINDOWS\\SYSTEM\\GONE.386 -> C:\\WINDOWS\\SYSTEM\\GONE.386 missing; "
                      "6: gone.vxd -> C:\\WIN98\\SYSTEM\\VMM32\\GONE.VXD missing; 7: gone.386 -> C:\\WIN98\\SYSTEM\\GONE.386 missing");
    QTest::newRow("drivers= aliases, module keys, 386Enh lists")
        << QByteArray("[boot]\r\ndrivers=mmsystem.dll timer\r\nuser.exe=gone.exe\r\n[drivers]\r\ntimer=timer.drv\r\n"
                      "[386Enh]\r\nmouse=*vmd, msmouse.vxd\r\nkeyboard=*vkd\r\nnetwork=*vnetbios, vshare.386")
        << QByteArray("2: mmsystem.dll -> C:\\WIN98\\SYSTEM\\MMSYSTEM.DLL found; 3: gone.exe -> C:\\WIN98\\SYSTEM\\GONE.EXE missing; "
                      "5: timer.drv -> C:\\WIN98\\SYSTEM\\TIMER.DRV missing; "
                      "7: msmouse.vxd -> C:\\WIN98\\SYSTEM\\VMM32\\MSMOUSE.VXD missing; "
                      "9: vshare.386 -> C:\\WIN98\\SYSTEM\\VSHARE.386 found");
    QTest::newRow("only [boot], [drivers] and [386Enh]") << QByteArray("shell=gone.exe\r\n[boot.description]\r\ndisplay.drv=Standard VGA\r\n"
                                                            "[drivers]\r\nwave=gone.drv\r\n[boot]\r\n;shell=gone.exe\r\n  [ 386enh ]\r\n device=gone.386")
        << QByteArray("5: gone.drv -> C:\\WIN98\\SYSTEM\\GONE.DRV missing; 9: gone.386 -> C:\\WIN98\\SYSTEM\\GONE.386 missing");
}

void AuditTest::systemIni()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, findings);
    QCOMPARE(describe(audit(startupfiles::systemIni, text)), findings);
}

void AuditTest::winIni_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("autoexec");
    QTest::addColumn<QByteArray>("findings");
    QTest::newRow("a Windows program: .EXE before .COM") << QByteArray("[windows]\r\nrun=C:\\UTILS\\SCAN")
                                                         << QByteArray() << QByteArray("2: C:\\UTILS\\SCAN -> C:\\UTILS\\SCAN.EXE found");
    QTest::newRow("load and run lists") << QByteArray("[windows]\r\nload=systray.exe, explorer\r\nRun = C:\\UTILS\\SCAN.EXE gone")
        << QByteArray()
        << QByteArray("2: systray.exe -> C:\\WIN98\\SYSTEM\\SYSTRAY.EXE found; 2: explorer -> C:\\WIN98\\EXPLORER.EXE found; "
                      "3: C:\\UTILS\\SCAN.EXE -> C:\\UTILS\\SCAN.EXE found; 3: gone -> C:\\WIN98\\GONE missing");
    QTest::newRow("along the PATH AUTOEXEC.BAT leaves") << QByteArray("[windows]\r\nrun=only mscdex")
        << QByteArray("PATH C:\\UTILS\r\nONLY")
        << QByteArray("2: only -> C:\\UTILS\\ONLY.BAT found; 2: mscdex -> C:\\WIN98\\MSCDEX missing");
    QTest::newRow("other keys and sections") << QByteArray("load=gone.exe\r\n[Windows]\r\nDevice=gone.exe\r\nload=\r\n[desktop]\r\nrun=gone.exe")
                                             << QByteArray() << QByteArray();
}

void AuditTest::winIni()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, autoexec);
    QFETCH(QByteArray, findings);
    QCOMPARE(describe(audit(startupfiles::winIni, text, autoexec)), findings);
}

void AuditTest::listsEachDirectoryOnce()
{
    // Programs found along AUTOEXEC.BAT's final PATH, and names written in
    // many ways for the same few directories.
    ScratchDrive scratch;
    auto drive = std::make_shared<CountingDrive>(m_drive.dir.path());
    scratch.drives.setDrive(QLatin1Char('C'), drive);
    ConfigState state;
    state.WD = state.WBD = "C:\\WIN98";
    state.msdosmemo.replaceWithText("[Paths]\r\nWinDir=C:\\WIN98\r\nWinBootDir=C:\\WIN98\r\n");
    QByteArray config;
    for (int i = 0; i < 50; ++i)
        config += "DEVICE=C:\\WIN98\\D" + QByteArray::number(i) + ".SYS\r\ndevice=\\win98\\.\\HIMEM.SYS\r\nDEVICE=X.SYS\r\n";
    state.ConfigMemo.replaceWithText(config);
    state.AutoMemo.replaceWithText("PATH %PATH%;C:\\UTILS\r\nMSCDEX\r\nSCAN\r\nGONE\r\nGONE\r\n");
    state.systeminimemo.replaceWithText("[boot]\r\ndrivers=mmsystem.dll a.dll b.dll\r\n[386Enh]\r\ndevice=ios.vxd\r\ndevice=x.vxd\r\n");
    state.Wininimemo.replaceWithText("[windows]\r\nload=scan gone only\r\nrun=gone\r\n");
    StartupAudit audit(state, scratch.drives);
    const AuditFindings findings = audit.run();
    QCOMPARE(findings.size(), 2 + 3 + 150 + 4 + 5 + 4); // COMMAND.COM, IFSHLP.SYS, VMM32.VXD without a line
    for (auto it = drive->listings.cbegin(); it != drive->listings.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));
    QStringList expected = {QString(), QStringLiteral("WIN98"), QStringLiteral("WIN98\\COMMAND"),
                            QStringLiteral("UTILS"), QStringLiteral("WIN98\\SYSTEM"), QStringLiteral("WIN98\\SYSTEM\\VMM32")};
    expected.sort();
    QStringList listed = drive->listings.keys();
    listed.sort();
    QCOMPARE(listed, expected);
    QCOMPARE(audit.listingsMade(), expected.size());
}

// Enough names that the table's probes collide, wrap around its end and
// outgrow the room first made.
void AuditTest::nameSetsFindEveryNameAndNoOther()
{
    DirectoryCache::Listing listing;
    listing.reserve(100);
    for (int i = 0; i < 3000; ++i)
        listing.add(QStringLiteral("f%1%2").arg(i).arg(i % 3 ? QStringLiteral(".dll") : QString()));
    for (const char *name : {"F1.DLL", ".PROFILE", "A.B.C"}) // the first twice
        listing.add(QString::fromLatin1(name));
    for (int i = 0; i < 3000; ++i) {
        const std::string stem = "F" + std::to_string(i);
        QVERIFY2(listing.hasFile(i % 3 ? stem + ".DLL" : stem), stem.c_str());
        QCOMPARE(listing.hasStem(stem), i % 3 != 0);
        QVERIFY(!listing.hasFile(stem + ".EXE"));
    }
    QVERIFY(listing.hasFile(".PROFILE") && !listing.hasStem(""));
    QVERIFY(listing.hasStem("A.B") && !listing.hasStem("A"));
    QVERIFY(!listing.hasFile("F3000") && !listing.hasFile(""));
}

void AuditTest::partsAuditInTheContextOfTheLinesBefore()
{
    ConfigState state;
    state.WD = state.WBD = "C:\\WIN98";
    state.msdosmemo.replaceWithText("[Paths]\r\nWinDir=C:\\WIN98\r\n");
    state.ConfigMemo.replaceWithText("DEVICE=C:\\WIN98\\HIMEM.SYS\r\nFILES=40\r\nDEVICE=GONE.SYS\r\n");
    state.AutoMemo.replaceWithText("ONLY\r\nPATH C:\\UTILS\r\nONLY\r\nSET PATH=\r\nONLY\r\n");
    state.systeminimemo.replaceWithText("[boot]\r\nshell=gone.exe\r\n\r\n[386Enh]\r\ndevice=ios.vxd\r\n[x]\r\nshell=gone.exe\r\n");
    state.Wininimemo.replaceWithText("[windows]\r\nload=only\r\n[other]\r\nload=gone\r\n");
    const AuditFindings all = StartupAudit(state, m_drive.drives).run();
    AuditFindings byLine;
    for (const StartupFile *file : kLoadOrder) {
        for (int line = 0; line < 8; ++line)
            byLine += StartupAudit(state, m_drive.drives).auditLine(*file, line);
    }
    QCOMPARE(describe(byLine), describe(all));
    QCOMPARE(all.size(), 1 + 3 + 2 + 3 + 2 + 1);
    // The same audit spread over calls of a few lines each.
    for (int lines : {1, 3}) {
        StartupAudit audit(state, m_drive.drives);
        AuditFindings inParts;
        while (audit.runSome(lines, inParts)) {
        }
        QCOMPARE(describe(inParts), describe(all));
    }
}

QTEST_GUILESS_MAIN(AuditTest)
#include "tst_audit.moc"
