// The edit dialog's file check and the routing of MSDOS.SYS lines, without widgets.
#include "drives/ansitext.h"
#include "editing/filecheck.h"
#include "editing/fixrule.h"
#include "editing/lineeditrouting.h"
#include "scratchdrive.h"

#include <QTest>

Q_DECLARE_METATYPE(std::optional<OptionBox>)

class CheckTest : public QObject
{
    Q_OBJECT

private slots:
    void extractsTheFileName_data();
    void extractsTheFileName();
    void probesAsWrittenThenUnderWindows_data();
    void probesAsWrittenThenUnderWindows();
    void longPathsAreHeldWhole();
    void routesOptionLines_data();
    void routesOptionLines();
    void fixLooksAtTheOriginal_data();
    void fixLooksAtTheOriginal();
};

void CheckTest::extractsTheFileName_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("device") << QByteArray("DEVICE=C:\\WINDOWS\\HIMEM.SYS") << QByteArray("C:\\WINDOWS\\HIMEM.SYS");
    QTest::newRow("country in two passes") << QByteArray("Country=047,850,c:\\windows\\command\\country.sys")
                                           << QByteArray("c:\\windows\\command\\country.sys");
    QTest::newRow("display with parameters") << QByteArray("Device=c:\\windows\\command\\display.sys con=(ega,,1)")
                                             << QByteArray("c:\\windows\\command\\display.sys");
    QTest::newRow("switch after the name") << QByteArray("device=himem.sys /testmem:off") << QByteArray("himem.sys");
    QTest::newRow("dash before the dot cuts the front") << QByteArray("C:\\MY-DIR\\TOOL.EXE") << QByteArray("DIR\\TOOL.EXE");
    QTest::newRow("blank before the dot stays") << QByteArray("run=C:\\PROGRAM FILES\\X.EXE") << QByteArray("C:\\PROGRAM FILES\\X.EXE");
    QTest::newRow("no equals sign") << QByteArray("C:\\WINDOWS\\SMARTDRV.EXE /X") << QByteArray("C:\\WINDOWS\\SMARTDRV.EXE");
    QTest::newRow("only the first equals sign") << QByteArray("a=b=c.exe") << QByteArray("b=c.exe");
    QTest::newRow("caret") << QByteArray("x=a^b.exe") << QByteArray("b.exe");
    QTest::newRow("comma is tried before slash") << QByteArray("x=/opt/a.exe,2") << QByteArray("a.exe");
    QTest::newRow("separator without a dot cuts the tail") << QByteArray("FILES=40,x") << QByteArray("40");
    QTest::newRow("no dot at all") << QByteArray("SET TEMP=C:\\WINDOWS\\TEMP") << QByteArray("C:\\WINDOWS\\TEMP");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
    QTest::newRow("only separators") << QByteArray("=,/^-") << QByteArray("");
    QTest::newRow("trailing blank after the name") << QByteArray("shell=Explorer.exe ") << QByteArray("Explorer.exe");
}

void CheckTest::extractsTheFileName()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, path);
    QCOMPARE(extractCheckedPath(line), path);
}

void CheckTest::probesAsWrittenThenUnderWindows_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("runnable");
    QTest::addColumn<QByteArray>("runPath");
    QTest::newRow("as written") << QByteArray("DEVICE=C:\\WINDOWS\\HIMEM.SYS") << true
                                << QByteArray("C:\\WINDOWS\\HIMEM.SYS finnes.") << false
                                << QByteArray("C:\\WINDOWS\\HIMEM.SYS");
    QTest::newRow("found under windows keeps the prefix")
        << QByteArray("device=himem.sys /testmem:off") << true << QByteArray("himem.sys finnes.") << false
        << QByteArray("C:\\WINDOWS\\HIMEM.SYS");
    QTest::newRow("program under windows")
        << QByteArray("shell=Explorer.exe") << true << QByteArray("Explorer.exe finnes.") << true
        << QByteArray("C:\\WINDOWS\\EXPLORER.EXE");
    QTest::newRow("under windows system")
        << QByteArray("drivers=mmsystem.dll") << true << QByteArray("mmsystem.dll finnes.") << false
        << QByteArray("C:\\WINDOWS\\SYSTEM\\MMSYSTEM.DLL");
    QTest::newRow("relative name at the root first")
        << QByteArray("SHELL=COMMAND.COM") << true << QByteArray("COMMAND.COM finnes.") << false
        << QByteArray("COMMAND.COM");
    QTest::newRow("own fix line passes its own check")
        << QByteArray("Device=c:\\windows\\command\\display.sys con=(ega,,1)") << true
        << QByteArray("c:\\windows\\command\\display.sys finnes.") << false
        << QByteArray("C:\\WINDOWS\\COMMAND\\DISPLAY.SYS");
    QTest::newRow("dash rule finds the file under windows")
        << QByteArray("C:\\MY-DIR\\TOOL.EXE") << true << QByteArray("DIR\\TOOL.EXE finnes.") << true
        << QByteArray("C:\\WINDOWS\\DIR\\TOOL.EXE");
    QTest::newRow("blank in a directory name")
        << QByteArray("run=C:\\Program Files\\Spill\\x.exe") << true
        << QByteArray("C:\\Program Files\\Spill\\x.exe finnes.") << true
        << QByteArray("C:\\PROGRAM FILES\\SPILL\\X.EXE");
    QTest::newRow("norwegian letters upper-cased")
        << QByteArray("x=c:\\windows\\bl\xe5.exe") << true << QByteArray("c:\\windows\\bl\xe5.exe finnes.") << true
        << QByteArray("C:\\WINDOWS\\BL\xc5.EXE");
    QTest::newRow("not found") << QByteArray("DEVICE=C:\\DOS\\NOPE.SYS") << false
                               << QByteArray("C:\\DOS\\NOPE.SYS finnes ikke !") << false << QByteArray();
    QTest::newRow("a directory is not found") << QByteArray("SET TEMP=C:\\WINDOWS\\TEMP") << false
                                              << QByteArray("C:\\WINDOWS\\TEMP finnes ikke !") << false << QByteArray();
    QTest::newRow("exe in the name but not found") << QByteArray("x=C:\\GONE.EXE") << false
                                                   << QByteArray("C:\\GONE.EXE finnes ikke !") << false << QByteArray();
    // Only a file whose own name ends in .EXE may be started.
    QTest::newRow("exe folder holding a script") << QByteArray("x=C:\\FOO.EXE\\RUN.SH") << true
                                                 << QByteArray("C:\\FOO.EXE\\RUN.SH finnes.") << false
                                                 << QByteArray("C:\\FOO.EXE\\RUN.SH");
    QTest::newRow("desktop entry named like a program") << QByteArray("x=C:\\SETUP.EXE.DESKTOP") << true
                                                        << QByteArray("C:\\SETUP.EXE.DESKTOP finnes.") << false
                                                        << QByteArray("C:\\SETUP.EXE.DESKTOP");
    QTest::newRow("link named like a program to a desktop entry") << QByteArray("x=C:\\LNK3.EXE") << true
                                                                  << QByteArray("C:\\LNK3.EXE finnes.") << false
                                                                  << QByteArray("C:\\LNK3.EXE");
    QTest::newRow("trailing dots dropped as the drive drops them") << QByteArray("x=C:\\SETUP.EXE..") << true
                                                                   << QByteArray("C:\\SETUP.EXE.. finnes.") << true
                                                                   << QByteArray("C:\\SETUP.EXE..");
}

void CheckTest::probesAsWrittenThenUnderWindows()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, found);
    QFETCH(QByteArray, message);
    QFETCH(bool, runnable);
    QFETCH(QByteArray, runPath);
    ScratchDrive c;
    c.write(QStringLiteral("COMMAND.COM"), "x");
    c.write(QStringLiteral("WINDOWS/HIMEM.SYS"), "x");
    c.write(QStringLiteral("WINDOWS/EXPLORER.EXE"), "x");
    c.write(QStringLiteral("WINDOWS/SYSTEM/MMSYSTEM.DLL"), "x");
    c.write(QStringLiteral("WINDOWS/COMMAND/DISPLAY.SYS"), "x");
    c.write(QStringLiteral("WINDOWS/DIR/TOOL.EXE"), "x");
    c.write(QStringLiteral("Program Files/Spill/X.EXE"), "x");
    c.write(QStringLiteral(u"WINDOWS/BLÅ.EXE"), "x");
    c.write(QStringLiteral("FOO.EXE/RUN.SH"), "x");
    c.write(QStringLiteral("SETUP.EXE.DESKTOP"), "x");
    c.write(QStringLiteral("SETUP.EXE"), "x");
    QVERIFY(QFile::link(QStringLiteral("SETUP.EXE.DESKTOP"), c.hostPath(QStringLiteral("LNK3.EXE"))));
    QDir().mkpath(c.hostPath(QStringLiteral("WINDOWS/TEMP")));

    const CheckResult r = checkLine(line, c.drives);
    QCOMPARE(r.found, found);
    QCOMPARE(r.message, message);
    QCOMPARE(r.runnable, runnable);
    QCOMPARE(r.runPath, runPath);
}

void CheckTest::longPathsAreHeldWhole()
{
    ScratchDrive c;
    QString dir = QStringLiteral("GAMES");
    while (dir.size() < 280)
        dir += QStringLiteral("/SUBDIRECTORY%1").arg(dir.size());
    c.write(dir + QStringLiteral("/LONGGAME.EXE"), "x");
    const QByteArray dos = "C:\\" + dir.toLatin1().replace('/', '\\') + "\\LONGGAME.EXE";
    QVERIFY(dos.size() > 300);
    const CheckResult r = checkLine(QByteArray("run=" + dos.toLower()), c.drives);
    QVERIFY(r.found);
    QVERIFY(r.runnable);
    QCOMPARE(r.runPath, dos);
    QCOMPARE(r.message, dos.toLower() + " finnes.");
}

void CheckTest::routesOptionLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<std::optional<OptionBox>>("box");
    QTest::newRow("bootdelay") << QByteArray("BootDelay=2") << std::optional(OptionBox::BD);
    QTest::newRow("comment") << QByteArray(";Network settings") << std::optional(OptionBox::NW);
    QTest::newRow("first word of the table wins") << QByteArray("BootDelay=2 ;Network") << std::optional(OptionBox::BD);
    QTest::newRow("table order, not line order") << QByteArray("Network=1 ;BootDelay") << std::optional(OptionBox::BD);
    QTest::newRow("doublebuffer") << QByteArray("DoubleBuffer=1") << std::optional(OptionBox::DB);
    QTest::newRow("bootmulti") << QByteArray("bootmulti=0") << std::optional(OptionBox::BM);
    QTest::newRow("bootgui") << QByteArray("  BOOTGUI=1") << std::optional(OptionBox::BGUI);
    QTest::newRow("bootmulti is not bootgui") << QByteArray("BootMultiX") << std::optional(OptionBox::BM);
    QTest::newRow("winver") << QByteArray("WinVer=4.10.2222") << std::optional<OptionBox>();
    QTest::newRow("autoscan") << QByteArray("AutoScan=1") << std::optional<OptionBox>();
    QTest::newRow("header") << QByteArray("[Options]") << std::optional<OptionBox>();
    QTest::newRow("paths line") << QByteArray("WinDir=C:\\WINDOWS") << std::optional<OptionBox>();
}

void CheckTest::routesOptionLines()
{
    QFETCH(QByteArray, line);
    QFETCH(std::optional<OptionBox>, box);
    QCOMPARE(optionForLine(line), box);
}

void CheckTest::fixLooksAtTheOriginal_data()
{
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QByteArray>("fixed"); // empty: "Fix" leaves the line alone
    const QByteArray country = "Country=047,850,c:\\windows\\command\\country.sys";
    const QByteArray display = "Device=c:\\windows\\command\\display.sys con=(ega,,1)";
    QTest::newRow("country") << QByteArray("country=049,437,C:\\DOS\\COUNTRY.SYS") << country;
    QTest::newRow("country anywhere") << QByteArray("REM COUNTRY=") << country;
    QTest::newRow("country without =") << QByteArray("COUNTRY 049,437") << QByteArray();
    QTest::newRow("display") << QByteArray("DEVICE=C:\\DOS\\DISPLAY.SYS CON=(EGA,,1)") << display;
    QTest::newRow("display in lower case") << QByteArray("device=display.sys") << display;
    QTest::newRow("both: display wins") << QByteArray("DEVICE=DISPLAY.SYS ;COUNTRY=") << display;
    QTest::newRow("device without display") << QByteArray("DEVICE=C:\\WINDOWS\\HIMEM.SYS") << QByteArray();
    QTest::newRow("devicehigh is no device") << QByteArray("DEVICEHIGH=C:\\WINDOWS\\COMMAND\\DISPLAY.SYS") << QByteArray();
    QTest::newRow("other lines") << QByteArray("FILES=40") << QByteArray();
}

void CheckTest::fixLooksAtTheOriginal()
{
    QFETCH(QByteArray, original);
    QFETCH(QByteArray, fixed);
    QCOMPARE(fixedLine(original).value_or(QByteArray()), fixed);
}

QTEST_GUILESS_MAIN(CheckTest)
#include "tst_check.moc"
