// The load sequence: MSDOS.SYS values, the lines of the five files, the
// section lists, and what stays when a file cannot be read.
#include "loading/backgroundload.h"
#include "loading/failure.h"
#include "loading/loadsequence.h"
#include "loading/startupfiles.h"
#include "scratchdrive.h"
#include "testhelpers.h"

#include <QTest>

namespace {

QByteArray crlf(const QList<QByteArray> &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

} // namespace

class LoadTest : public QObject
{
    Q_OBJECT

private slots:
    void workedExample();
    void msdosValues_data();
    void msdosValues();
    void showsExactlyTheFileLines_data();
    void showsExactlyTheFileLines();
    void iniSectionsAreLinesWithABracket();
    void reloadingGivesNoDuplicates();
    void bootDelayFlagAcrossLoads();
    void iniFilesComeFromTheWinDirField();
    void failureOrder_data();
    void failureOrder();
    void backgroundLoadHandsOverAll_data();
    void backgroundLoadHandsOverAll();

private:
    void load(ScratchDrive &c, ConfigState &s) { LoadSequence(s, c.drives).HentKnappClick(); }

    // A WinDir that names no directory of the drive stops the load at
    // WIN.INI, after MSDOS.SYS was read; these tests look only at MSDOS.SYS.
    void loadThroughMsDos(ScratchDrive &c, ConfigState &s)
    {
        try {
            load(c, s);
        } catch (const FileError &e) {
            QVERIFY2(e.message().contains(QLatin1String("WIN.INI")), qPrintable(e.message()));
        }
    }
};

void LoadTest::workedExample()
{
    const QList<QByteArray> file = {"[Paths]", "WinDir=C:\\WINDOWS", "WinBootDir=C:\\WINDOWS",
                                    "HostWinBootDrv=C", "", "[Options]", "BootMulti=1",
                                    "BootGUI=1", "Network=0", "WinVer=4.10.2222"};
    ScratchDrive c;
    c.writeMachine();
    c.write(QStringLiteral("MSDOS.SYS"), crlf(file));
    ConfigState s;
    s.BootDelayFlag = true;
    s.NW = true;
    s.DB = true; // keys that are absent leave their flags alone
    load(c, s);
    QCOMPARE(s.WD, QByteArray("C:\\WINDOWS"));
    QCOMPARE(s.WBD, QByteArray("C:\\WINDOWS"));
    QCOMPARE(s.HWBD, QByteArray("C"));
    QCOMPARE(s.WV, QByteArray("4.10.2222"));
    QVERIFY(s.BM);
    QVERIFY(s.BGUI);
    QVERIFY(!s.NW);
    QVERIFY(s.BD);
    QVERIFY(s.DB);
    QVERIFY(!s.ASC);
    QCOMPARE(linesOf(s.msdosmemo), file);
    QCOMPARE(linesOf(s.msdoslist), (QList<QByteArray>{"[Paths]", "[Options]"}));
    QCOMPARE(linesOf(s.ConfigMemo), (QList<QByteArray>{"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "FILES=40"}));
    QCOMPARE(linesOf(s.WinIniList), (QList<QByteArray>{"[windows]", "[Desktop]"}));
    QCOMPARE(linesOf(s.systeminilist), (QList<QByteArray>{"[boot]", "[386Enh]"}));
    QCOMPARE(s.systeminimemo.count(), 3);
}

void LoadTest::msdosValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("field"); // WD, WBD, WV or BD
    QTest::addColumn<QByteArray>("value");
    const QByteArray opts = "[Paths]\r\nWinDir=C:\\WINDOWS\r\n[Options]\r\n";
    QTest::newRow("key in any case") << opts + "winver=4.00.950\r\n" << QByteArray("WV") << QByteArray("4.00.950");
    QTest::newRow("leading blanks before the key")
        << QByteArray("[Paths]\r\n  WinDir=C:\\WINDOWS\r\n") << QByteArray("WD") << QByteArray("C:\\WINDOWS");
    QTest::newRow("key in a comment") << QByteArray("[Paths]\r\n;WinDir=C:\\X\r\n") << QByteArray("WD") << QByteArray("C:\\X");
    QTest::newRow("trailing blanks dropped")
        << QByteArray("[Paths]\r\nWinDir=c:\\windows   \r\n") << QByteArray("WD") << QByteArray("C:\\WINDOWS");
    QTest::newRow("value upper-cased with norwegian letters")
        << QByteArray("[Paths]\r\nWinDir=c:\\v\xe6rs\r\n") << QByteArray("WD") << QByteArray("C:\\V\xc6RS");
    QTest::newRow("tab stays") << QByteArray("[Paths]\r\nWinDir=C:\\W\t\r\n") << QByteArray("WD") << QByteArray("C:\\W\t");
    QTest::newRow("bracket before key does not end the pass")
        << QByteArray("[Paths]\r\n[X]WinDir=A\r\nWinBootDir=B\r\n") << QByteArray("WBD") << QByteArray("B");
    QTest::newRow("bracket before key gives the value")
        << QByteArray("[Paths]\r\n[X]WinDir=A\r\n") << QByteArray("WD") << QByteArray("A");
    QTest::newRow("lower-case paths header") << QByteArray("[paths]\r\nWinDir=D:\\W98\r\n") << QByteArray("WD") << QByteArray("D:\\W98");
    QTest::newRow("header with a comment is no paths header")
        << QByteArray("[Paths] ; boot\r\nWinDir=D:\\W98\r\n") << QByteArray("WD") << QByteArray("");
    QTest::newRow("options keys not read in the paths pass")
        << QByteArray("[Paths]\r\nWinVer=4.10\r\n") << QByteArray("WV") << QByteArray("");
    QTest::newRow("paths keys not read in the options pass")
        << opts + "WinBootDir=X\r\n" << QByteArray("WBD") << QByteArray("");
    QTest::newRow("options before paths are not parsed")
        << QByteArray("[Options]\r\nWinVer=4.10\r\n[Paths]\r\nWinDir=C:\\W\r\n") << QByteArray("WV") << QByteArray("");
    QTest::newRow("third section ends the options pass")
        << opts + "[Extra]\r\nWinVer=9\r\n" << QByteArray("WV") << QByteArray("");
    QTest::newRow("bootdelay 10") << opts + "BootDelay=10\r\n" << QByteArray("BD") << QByteArray("1");
    QTest::newRow("bootdelay 0") << opts + "BootDelay=0\r\n" << QByteArray("BD") << QByteArray("0");
    QTest::newRow("bootdelay 2") << opts + "BootDelay=2\r\n" << QByteArray("BD") << QByteArray("0");
    QTest::newRow("no bootdelay: the flag") << opts + "BootGUI=1\r\n" << QByteArray("BD") << QByteArray("1");
}

void LoadTest::msdosValues()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, value);
    ScratchDrive c;
    c.writeMachine();
    c.write(QStringLiteral("MSDOS.SYS"), file);
    c.write(QStringLiteral("WIN.INI"), "[root]\r\n"); // found when WinDir stays empty
    c.write(QStringLiteral("SYSTEM.INI"), "[root]\r\n");
    ConfigState s;
    s.BootDelayFlag = true;
    loadThroughMsDos(c, s);
    if (field == "BD")
        QCOMPARE(s.BD, value == "1");
    else
        QCOMPARE(field == "WD" ? s.WD : field == "WBD" ? s.WBD : s.WV, value);
}

void LoadTest::showsExactlyTheFileLines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<QByteArray>>("memo");
    QTest::addColumn<QList<QByteArray>>("sections");
    QTest::newRow("no paths section") << QByteArray("[Options]\r\nBootGUI=1\r\n")
                                      << QList<QByteArray>{"[Options]", "BootGUI=1"}
                                      << QList<QByteArray>{"[Options]"};
    QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{} << QList<QByteArray>{};
    QTest::newRow("no break after the last line")
        << QByteArray("[Paths]\r\nWinDir=C:\\W") << QList<QByteArray>{"[Paths]", "WinDir=C:\\W"}
        << QList<QByteArray>{"[Paths]"};
    QTest::newRow("paths pass reaches the end")
        << QByteArray("[Options]\r\nX=1\r\n[Paths]\r\nWinDir=C:\\W\r\n")
        << QList<QByteArray>{"[Options]", "X=1", "[Paths]", "WinDir=C:\\W"}
        << QList<QByteArray>{"[Options]", "[Paths]"};
    QTest::newRow("third section and what follows it")
        << QByteArray("[Paths]\r\n[Options]\r\nBootGUI=1\r\n[Extra]\r\nnever=read\r\n")
        << QList<QByteArray>{"[Paths]", "[Options]", "BootGUI=1", "[Extra]"}
        << QList<QByteArray>{"[Paths]", "[Options]", "[Extra]"};
    QTest::newRow("blank line shown as read")
        << QByteArray("[Paths]\r\n   \r\nWinDir=C:\\W\r\n")
        << QList<QByteArray>{"[Paths]", "   ", "WinDir=C:\\W"} << QList<QByteArray>{"[Paths]"};
}

void LoadTest::showsExactlyTheFileLines()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<QByteArray>, memo);
    QFETCH(QList<QByteArray>, sections);
    ScratchDrive c;
    c.writeMachine();
    c.write(QStringLiteral("MSDOS.SYS"), file);
    c.write(QStringLiteral("WIN.INI"), "");
    c.write(QStringLiteral("SYSTEM.INI"), "");
    ConfigState s;
    loadThroughMsDos(c, s);
    QCOMPARE(linesOf(s.msdosmemo), memo);
    QCOMPARE(linesOf(s.msdoslist), sections);
}

void LoadTest::iniSectionsAreLinesWithABracket()
{
    ScratchDrive c;
    c.writeMachine();
    c.write(QStringLiteral("WINDOWS/WIN.INI"), "[a]\r\nx=[1]\r\n [b] \r\nplain\r\n[a]\r\n");
    ConfigState s;
    load(c, s);
    QCOMPARE(linesOf(s.WinIniList), (QList<QByteArray>{"[a]", "x=[1]", " [b] ", "[a]"}));
}

void LoadTest::reloadingGivesNoDuplicates()
{
    ScratchDrive c;
    c.writeMachine();
    ConfigState s;
    load(c, s);
    const int counts[] = {s.msdosmemo.count(), s.msdoslist.count(), s.ConfigMemo.count(),
                          s.AutoMemo.count(), s.Wininimemo.count(), s.WinIniList.count(),
                          s.systeminimemo.count(), s.systeminilist.count()};
    load(c, s);
    const int again[] = {s.msdosmemo.count(), s.msdoslist.count(), s.ConfigMemo.count(),
                         s.AutoMemo.count(), s.Wininimemo.count(), s.WinIniList.count(),
                         s.systeminimemo.count(), s.systeminilist.count()};
    QVERIFY(std::equal(std::begin(counts), std::end(counts), std::begin(again)));
    QCOMPARE(s.msdosmemo.count(), 5);
}

void LoadTest::bootDelayFlagAcrossLoads()
{
    ScratchDrive c;
    c.writeMachine();
    c.write(QStringLiteral("MSDOS.SYS"), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n[Options]\r\nBootDelay=0\r\n");
    ConfigState s;
    s.BootDelayFlag = true;
    load(c, s);
    QVERIFY(!s.BD);
    QVERIFY(!s.BootDelayFlag);

    // Without a BootDelay line BD takes the value last read, whatever the
    // user clicked in between.
    c.write(QStringLiteral("MSDOS.SYS"), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n[Options]\r\n");
    s.BD = true;
    load(c, s);
    QVERIFY(!s.BD);

    // Never read a BootDelay line: the start's flag, checked.
    ConfigState fresh;
    fresh.BootDelayFlag = true;
    load(c, fresh);
    QVERIFY(fresh.BD);
    fresh.BD = false;
    load(c, fresh);
    QVERIFY(fresh.BD);
}

void LoadTest::iniFilesComeFromTheWinDirField()
{
    ScratchDrive c;
    c.writeMachine();
    c.write(QStringLiteral("MSDOS.SYS"), "[Options]\r\nBootGUI=1\r\n");
    c.write(QStringLiteral("W98/WIN.INI"), "[typed]\r\n");
    c.write(QStringLiteral("W98/SYSTEM.INI"), "[typed]\r\n");
    ConfigState s;
    // No WinDir line: the directory the field holds, here as typed.
    s.WD = "c:\\w98";
    load(c, s);
    QCOMPARE(linesOf(s.WinIniList), (QList<QByteArray>{"[typed]"}));
    s.WD.clear(); // "\WIN.INI" is missing at the root: the INI lists stay
    QVERIFY_THROWS_EXCEPTION(FileError, load(c, s));
    QCOMPARE(linesOf(s.WinIniList), (QList<QByteArray>{"[typed]"}));
}

void LoadTest::failureOrder_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("shownName");
    // Which lists hold the second load's lines after the failure, in the
    // order config, autoexec, msdos, win.ini, system.ini.
    QTest::addColumn<QList<bool>>("reloaded");
    QTest::newRow("config.sys") << "CONFIG.SYS" << "C:\\CONFIG.SYS" << QList<bool>{false, false, false, false, false};
    QTest::newRow("autoexec.bat") << "AUTOEXEC.BAT" << "C:\\AUTOEXEC.BAT" << QList<bool>{true, false, false, false, false};
    QTest::newRow("msdos.sys") << "MSDOS.SYS" << "C:\\MSDOS.SYS" << QList<bool>{true, true, false, false, false};
    QTest::newRow("win.ini") << "WINDOWS/WIN.INI" << "C:\\WINDOWS\\WIN.INI" << QList<bool>{true, true, true, false, false};
    QTest::newRow("system.ini") << "WINDOWS/SYSTEM.INI" << "C:\\WINDOWS\\SYSTEM.INI" << QList<bool>{true, true, true, true, false};
}

void LoadTest::failureOrder()
{
    QFETCH(QString, missing);
    QFETCH(QString, shownName);
    QFETCH(QList<bool>, reloaded);
    ScratchDrive c;
    c.writeMachine();
    ConfigState s;
    load(c, s);

    // The second load finds new text in every file but one, which is gone.
    c.write(QStringLiteral("CONFIG.SYS"), "NEW\r\n");
    c.write(QStringLiteral("AUTOEXEC.BAT"), "NEW\r\n");
    c.write(QStringLiteral("MSDOS.SYS"), "NEW[\r\n[Paths]\r\nWinDir=C:\\WINDOWS\r\n");
    c.write(QStringLiteral("WINDOWS/WIN.INI"), "NEW[\r\n");
    c.write(QStringLiteral("WINDOWS/SYSTEM.INI"), "NEW[\r\n");
    c.remove(missing);
    try {
        load(c, s);
        QFAIL("the load should fail");
    } catch (const FileError &e) {
        QVERIFY2(e.message().contains(shownName), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QLatin1String("filen finnes ikke")), qPrintable(e.message()));
    }
    const auto isNew = [](const LineList &l) { return l.count() > 0 && l.line(0).startsWith("NEW"); };
    QCOMPARE(isNew(s.ConfigMemo), reloaded[0]);
    QCOMPARE(isNew(s.AutoMemo), reloaded[1]);
    QCOMPARE(isNew(s.msdosmemo), reloaded[2]);
    QCOMPARE(isNew(s.msdoslist), reloaded[2]);
    QCOMPARE(isNew(s.Wininimemo), reloaded[3]);
    QCOMPARE(isNew(s.WinIniList), reloaded[3]);
    QCOMPARE(isNew(s.systeminimemo), reloaded[4]);
    QCOMPARE(isNew(s.systeminilist), reloaded[4]);
    // What was not reloaded still holds the first load's lines.
    QCOMPARE(s.systeminimemo.count() > 0, true);
}

void LoadTest::backgroundLoadHandsOverAll_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QByteArray>("systemDat");
    QTest::newRow("every file") << QString() << QByteArray();
    // The failure comes after the lines read before it are handed over.
    QTest::newRow("autoexec.bat gone") << "AUTOEXEC.BAT" << QByteArray();
    QTest::newRow("win.ini gone") << "WINDOWS/WIN.INI" << QByteArray();
    // The start-up page fails in its own part, after the files.
    QTest::newRow("system.dat damaged") << QString() << QByteArray("CREG but not a hive");
}

void LoadTest::backgroundLoadHandsOverAll()
{
    QFETCH(QString, missing);
    QFETCH(QByteArray, systemDat);
    ScratchDrive c;
    c.writeMachine();
    c.write(QStringLiteral("MSDOS.SYS"), "[Paths]\r\nWinDir=C:\\WINDOWS\r\nWinBootDir=C:\\WINDOWS\r\nHostWinBootDrv=C\r\n"
                                         "[Options]\r\nBootMulti=1\r\nBootGUI=1\r\nDoubleBuffer=1\r\nAutoScan=1\r\n"
                                         "BootDelay=0\r\nNetwork=1\r\n");
    c.write(QStringLiteral("WINDOWS/WINSTART.BAT"), "NET START\r\n");
    if (!missing.isEmpty())
        c.remove(missing);
    if (!systemDat.isEmpty())
        c.write(QStringLiteral("WINDOWS/SYSTEM.DAT"), systemDat);
    const auto loaded = [](const std::function<void()> &load) {
        try {
            load();
        } catch (const Failure &e) {
            return e.message();
        }
        return QString();
    };
    ConfigState inPlace, handed;
    const QString inPlaceFailure = loaded([&] { loadAtStart(inPlace, c.drives); });
    // The window's start: the files handed over, then the start-up page.
    const QString handedFailure = loaded([&] {
        BackgroundLoad(c.drives).takeInto(handed);
        LoadSequence(handed, c.drives).loadStartupPage();
    });
    QCOMPARE(handedFailure, inPlaceFailure);
    QCOMPARE(handedFailure.isEmpty(), missing.isEmpty() && systemDat.isEmpty());

    QCOMPARE(handed.WD, inPlace.WD);
    QCOMPARE(handed.WBD, inPlace.WBD);
    QCOMPARE(handed.HWBD, inPlace.HWBD);
    QCOMPARE(handed.WV, inPlace.WV);
    const QList<bool> flags{inPlace.BM, inPlace.BGUI, inPlace.DB, inPlace.ASC, inPlace.BD, inPlace.NW, inPlace.BootDelayFlag};
    QCOMPARE((QList<bool>{handed.BM, handed.BGUI, handed.DB, handed.ASC, handed.BD, handed.NW, handed.BootDelayFlag}), flags);
    // Every list the window shows, by the table of start-up files.
    for (const StartupFile *file : startupfiles::all) {
        QCOMPARE(linesOf(handed.*file->lines), linesOf(inPlace.*file->lines));
        if (file->sections)
            QCOMPARE(linesOf(handed.*file->sections), linesOf(inPlace.*file->sections));
    }
    if (missing.isEmpty())
        QVERIFY(handed.startupmemo.count() > 0 && handed.BM && handed.NW);
    QCOMPARE(handed.startupSections.size(), inPlace.startupSections.size());
    for (qsizetype i = 0; i < handed.startupSections.size(); ++i)
        QCOMPARE(handed.startupSections[i].source, inPlace.startupSections[i].source);
}

QTEST_GUILESS_MAIN(LoadTest)
#include "tst_load.moc"
