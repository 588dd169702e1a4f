// DOS paths on a drive kept as a host directory.
#include "drives/dospath.h"
#include "loading/failure.h"
#include "loading/loadsequence.h"
#include "scratchdrive.h"
#include "testhelpers.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class DriveTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesDosPaths_data();
    void parsesDosPaths();
    void resolvesOnTheDrive_data();
    void resolvesOnTheDrive();
    void readsFileBytes();
    void readFailuresNameTheFileAndTheReason_data();
    void readFailuresNameTheFileAndTheReason();
    void unreadableFile();
    void unmappedAndMissingDrives();
    void otherLettersUseTheirOwnDirectories();
    void aLoadListsEachFolderOnce();
};

void DriveTest::parsesDosPaths_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("C:\\WINDOWS\\WIN.INI") << QStringLiteral("C:\\WINDOWS\\WIN.INI");
    QTest::newRow("lower drive") << QByteArray("d:\\x") << QStringLiteral("D:\\x");
    QTest::newRow("forward slashes") << QByteArray("C:/A/B") << QStringLiteral("C:\\A\\B");
    QTest::newRow("relative is from C root") << QByteArray("himem.sys") << QStringLiteral("C:\\himem.sys");
    QTest::newRow("root relative") << QByteArray("\\WIN.INI") << QStringLiteral("C:\\WIN.INI");
    QTest::newRow("dot ignored") << QByteArray("C:\\.\\A\\.\\B") << QStringLiteral("C:\\A\\B");
    QTest::newRow("dotdot goes up") << QByteArray("C:\\A\\B\\..\\C") << QStringLiteral("C:\\A\\C");
    QTest::newRow("dotdot clamped at root") << QByteArray("C:\\..\\..\\etc") << QStringLiteral("C:\\etc");
    QTest::newRow("dotdot from relative") << QByteArray("..\\..\\x") << QStringLiteral("C:\\x");
    QTest::newRow("trailing blanks and dots") << QByteArray("C:\\WINDOWS. \\HIMEM.SYS  ")
                                              << QStringLiteral("C:\\WINDOWS\\HIMEM.SYS");
    QTest::newRow("doubled separators") << QByteArray("C:\\\\A//B\\") << QStringLiteral("C:\\A\\B");
    QTest::newRow("drive only") << QByteArray("C:") << QStringLiteral("C:\\");
    QTest::newRow("windows-1252 name") << QByteArray("C:\\PR\xd8VE") << QStringLiteral(u"C:\\PRØVE");
}

void DriveTest::parsesDosPaths()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, shown);
    QCOMPARE(DosPath::parse(path).display(), shown);
}

void DriveTest::resolvesOnTheDrive_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("exists");
    QTest::newRow("exact case") << QByteArray("C:\\Windows\\System\\Vmm32.vxd") << true;
    QTest::newRow("upper case") << QByteArray("C:\\WINDOWS\\SYSTEM\\VMM32.VXD") << true;
    QTest::newRow("lower case") << QByteArray("c:\\windows\\system\\vmm32.vxd") << true;
    QTest::newRow("trailing blank") << QByteArray("C:\\WINDOWS\\HIMEM.SYS ") << true;
    QTest::newRow("trailing dot") << QByteArray("C:\\WINDOWS\\HIMEM.SYS.") << true;
    QTest::newRow("relative") << QByteArray("command.com") << true;
    QTest::newRow("up and back") << QByteArray("C:\\WINDOWS\\..\\COMMAND.COM") << true;
    QTest::newRow("clamped at root") << QByteArray("C:\\..\\..\\COMMAND.COM") << true;
    QTest::newRow("directory is not a file") << QByteArray("C:\\WINDOWS") << false;
    QTest::newRow("root is not a file") << QByteArray("C:\\") << false;
    QTest::newRow("file as a directory") << QByteArray("C:\\COMMAND.COM\\X") << false;
    QTest::newRow("missing") << QByteArray("C:\\WINDOWS\\EMM386.EXE") << false;
    QTest::newRow("unmapped drive") << QByteArray("D:\\COMMAND.COM") << false;
    QTest::newRow("norwegian name") << QByteArray("C:\\m\xc5l.txt") << true;
}

void DriveTest::resolvesOnTheDrive()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, exists);
    ScratchDrive c;
    c.write(QStringLiteral("Windows/System/Vmm32.vxd"), "x");
    c.write(QStringLiteral("Windows/himem.sys"), "x");
    c.write(QStringLiteral("COMMAND.COM"), "x");
    c.write(QStringLiteral(u"MÅL.TXT"), "x");
    QCOMPARE(c.drives.fileExists(path), exists);
    QCOMPARE(c.drives.hostFile(path).has_value(), exists);
}

void DriveTest::readsFileBytes()
{
    ScratchDrive c;
    const QByteArray bytes("a\0\xe6\r\n", 5);
    c.write(QStringLiteral("config.sys"), bytes);
    QCOMPARE(bytesOf(c.drives.readFile("C:\\CONFIG.SYS")), bytes);
    QCOMPARE(*c.drives.hostFile("C:\\CONFIG.SYS"), c.hostPath(QStringLiteral("config.sys")));

    // Links that stay inside the drive are followed, relative or absolute.
    c.write(QStringLiteral("WINDOWS/real.ini"), bytes);
    QVERIFY(QFile::link(QStringLiteral("real.ini"), c.hostPath(QStringLiteral("WINDOWS/WIN.INI"))));
    QVERIFY(QFile::link(c.hostPath(QStringLiteral("WINDOWS/real.ini")), c.hostPath(QStringLiteral("WINDOWS/SYSTEM.INI"))));
    QCOMPARE(bytesOf(c.drives.readFile("C:\\WINDOWS\\WIN.INI")), bytes);
    QCOMPARE(bytesOf(c.drives.readFile("C:\\WINDOWS\\SYSTEM.INI")), bytes);

    // A folder and names that are not UTF-8 (a copy made with the PC's own
    // code page) are reached as they are.
    const QByteArray folder = QFile::encodeName(c.dir.path()) + "/\xe6sj";
    QVERIFY(::mkdir(folder.constData(), 0755) == 0);
    const QByteArray sub = folder + "/\xc6" "BLE";
    QVERIFY(::mkdir(sub.constData(), 0755) == 0);
    const int fd = ::open(QByteArray(sub + "/Fil.TXT").constData(), O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
    DriveMap raw(DriveMap::none());
    raw.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(folder));
    QCOMPARE(bytesOf(raw.readFile("C:\\\xe6" "ble\\fil.txt")), bytes);
}

void DriveTest::readFailuresNameTheFileAndTheReason_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing" << "filen finnes ikke";
    QTest::newRow("directory") << "directory" << "det er en mappe, ikke en fil";
    QTest::newRow("fifo") << "fifo" << "det er ikke en vanlig fil";
    QTest::newRow("symlink loop") << "loop" << "symbolske lenker går i ring";
    QTest::newRow("dangling symlink") << "dangling" << "en symbolsk lenke som ikke fører til noen fil";
    QTest::newRow("link out of the drive") << "outside" << "peker ut av stasjonen";
    QTest::newRow("link to an endless device") << "device" << "peker ut av stasjonen";
    QTest::newRow("folder linked out of the drive") << "outside folder" << "peker ut av stasjonen";
}

void DriveTest::readFailuresNameTheFileAndTheReason()
{
    QFETCH(QString, setup);
    QFETCH(QString, reason);
    ScratchDrive c;
    const QByteArray host = QFile::encodeName(c.hostPath(QStringLiteral("MSDOS.SYS")));
    if (setup == QLatin1String("directory"))
        QDir().mkpath(QString::fromLocal8Bit(host));
    else if (setup == QLatin1String("fifo"))
        QCOMPARE(mkfifo(host.constData(), 0644), 0);
    else if (setup == QLatin1String("loop"))
        QCOMPARE(symlink(host.constData(), host.constData()), 0);
    else if (setup == QLatin1String("dangling"))
        QCOMPARE(symlink("nowhere", host.constData()), 0);
    else if (setup == QLatin1String("outside"))
        QCOMPARE(symlink("../../../../../../../../etc/passwd", host.constData()), 0);
    else if (setup == QLatin1String("device"))
        QCOMPARE(symlink("/dev/zero", host.constData()), 0);
    QTemporaryDir elsewhere;
    if (setup == QLatin1String("outside folder")) {
        // The drive's MSDOS.SYS is read through a folder that lies elsewhere.
        c.drives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(c.hostPath(QStringLiteral("d"))));
        QDir().mkpath(c.hostPath(QStringLiteral("d")));
        QFile out(elsewhere.filePath(QStringLiteral("MSDOS.SYS")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(symlink(QFile::encodeName(elsewhere.path()).constData(), QFile::encodeName(c.hostPath(QStringLiteral("d/WINDOWS"))).constData()), 0);
        QCOMPARE(symlink("WINDOWS/MSDOS.SYS", QFile::encodeName(c.hostPath(QStringLiteral("d/MSDOS.SYS"))).constData()), 0);
    }

    QCOMPARE(readFailure(c.drives, "C:\\MSDOS.SYS"), QStringLiteral("Kan ikke lese C:\\MSDOS.SYS: %1.").arg(reason));
    QVERIFY(!c.drives.fileExists("C:\\MSDOS.SYS"));
}

void DriveTest::unreadableFile()
{
    if (geteuid() == 0)
        QSKIP("running as root: every file is readable");
    ScratchDrive c;
    c.write(QStringLiteral("MSDOS.SYS"), "x");
    QFile::setPermissions(c.hostPath(QStringLiteral("MSDOS.SYS")), QFileDevice::WriteOwner);
    QCOMPARE(c.drives.readFile("C:\\MSDOS.SYS").kind(), FailureKind::Denied);
}

void DriveTest::unmappedAndMissingDrives()
{
    DriveMap none(DriveMap::none());
    const QString message = readFailure(none, "D:\\X.TXT");
    QVERIFY2(message.contains(QLatin1String("D:\\X.TXT")), qPrintable(message));
    QVERIFY2(message.contains(QLatin1String("ikke tilordnet")), qPrintable(message));
    QCOMPARE(none.readFile("D:\\X.TXT").kind(), FailureKind::NoDrive);
    DriveMap gone(DriveMap::none());
    gone.setDrive(QLatin1Char('c'), std::make_shared<DirectoryDrive>(QStringLiteral("/nonexistent/vendral")));
    QVERIFY(!gone.fileExists("C:\\X"));
    QCOMPARE(gone.readFile("C:\\X").kind(), FailureKind::Missing);
}

void DriveTest::otherLettersUseTheirOwnDirectories()
{
    ScratchDrive c;
    ScratchDrive d;
    d.write(QStringLiteral("GAMES/DOOM.EXE"), "x");
    c.drives.setDrive(QLatin1Char('D'), std::make_shared<DirectoryDrive>(d.dir.path()));
    QVERIFY(c.drives.fileExists("D:\\games\\doom.exe"));
    QVERIFY(!c.drives.fileExists("C:\\games\\doom.exe"));
    // A Wine prefix: unnamed letters come from its dosdevices.
    ScratchDrive prefix;
    prefix.write(QStringLiteral("drive_c/AUTOEXEC.BAT"), "x");
    QDir(prefix.dir.path()).mkpath(QStringLiteral("dosdevices"));
    QFile::link(QStringLiteral("../drive_c"), prefix.hostPath(QStringLiteral("dosdevices/c:")));
    qputenv("WINEPREFIX", QFile::encodeName(prefix.dir.path()));
    DriveMap wine;
    QVERIFY(wine.fileExists("C:\\AUTOEXEC.BAT"));
    QVERIFY(!wine.fileExists("E:\\AUTOEXEC.BAT"));
    qunsetenv("WINEPREFIX");
}

void DriveTest::aLoadListsEachFolderOnce()
{
    // Names in lower case: no exact match, so every lookup needs a listing.
    ScratchDrive names;
    for (const char *file : {"config.sys", "autoexec.bat", "msdos.sys", "windows/win.ini", "windows/system.ini"})
        names.write(QLatin1String(file), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n");
    auto drive = std::make_shared<DirectoryDrive>(names.dir.path());
    DriveMap drives(DriveMap::none());
    drives.setDrive(QLatin1Char('C'), drive);
    ConfigState state;
    LoadSequence(state, drives).HentKnappClick();
    QCOMPARE(state.systeminimemo.count(), 2);
    QCOMPARE(drive->listingsRead(), 2); // the root and WINDOWS
    // The next load sees the drive anew.
    LoadSequence(state, drives).HentKnappClick();
    QCOMPARE(drive->listingsRead(), 4);
}

QTEST_GUILESS_MAIN(DriveTest)
#include "tst_drive.moc"
