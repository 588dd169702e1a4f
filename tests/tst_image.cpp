// Drive C: read straight from a disk image through mtools. The images are
// built here with mformat and mcopy (and an MBR written by the test), so no
// binary image is kept in the sources.
#include "loading/diskimage.h"
#include "loading/failure.h"
#include "loading/imagedrive.h"
#include "scratchdrive.h"
#include "testhelpers.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QProcess>
#include <QTest>

namespace {

bool mtools(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MTOOLSRC"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(tool), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

// Copies a directory's tree onto the volume at `image` (with @@offset).
bool copyOnto(const QString &image, const QString &directory)
{
    const QStringList entries = QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QStringList arguments{QStringLiteral("-s"), QStringLiteral("-i"), image};
    for (const QString &e : entries)
        arguments.append(directory + QLatin1Char('/') + e);
    arguments.append(QStringLiteral("::/"));
    return mtools(QStringLiteral("mcopy"), arguments);
}

QByteArray sector(std::initializer_list<std::pair<int, QByteArray>> parts)
{
    QByteArray s(512, '\0');
    for (const auto &[at, bytes] : parts)
        s.replace(at, bytes.size(), bytes);
    return s;
}

QByteArray fatBootSector()
{
    // jump, OEM name, 512 bytes a sector, 1 sector a cluster, 1 reserved, 2 FATs
    return sector({{0, QByteArray("\xEB\x3C\x90MSWIN4.1\x00\x02\x01\x01\x00\x02", 17)}, {510, "\x55\xAA"}});
}

QByteArray partitionEntry(bool active, unsigned char type, quint32 start, quint32 sectors)
{
    QByteArray e(16, '\0');
    e[0] = active ? '\x80' : '\0';
    e[4] = static_cast<char>(type);
    for (int i = 0; i < 4; ++i) {
        e[8 + i] = static_cast<char>(start >> (8 * i));
        e[12 + i] = static_cast<char>(sectors >> (8 * i));
    }
    return e;
}

QByteArray mbr(const QList<QByteArray> &entries)
{
    QByteArray s = sector({{510, "\x55\xAA"}});
    for (int i = 0; i < entries.size(); ++i)
        s.replace(446 + 16 * i, 16, entries[i]);
    return s;
}

QByteArray fingerprint(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex() + ' '
           + QByteArray::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
}

} // namespace

class ImageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void locatesTheFatVolume_data();
    void locatesTheFatVolume();
    void floppyReadsLikeADirectory();
    void partitionedHardDisk();
    void fat32WithLongNames();
    void dosRulesOnAnImage();
    void fixedVhd();
    void refusedImages_data();
    void refusedImages();
    void truncatedImage();

private:
    QTemporaryDir m_dir;
    QString m_floppy;
    ScratchDrive m_machine; // the same files as a directory
};

void ImageTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("mformat")).isEmpty())
        QSKIP("mtools is not installed");
    m_machine.writeMachine();
    m_machine.write(QStringLiteral("WINDOWS/HIMEM.SYS"), "x");
    m_machine.write(QStringLiteral("WINDOWS/NOTEPAD.EXE"), "x");
    m_floppy = m_dir.filePath(QStringLiteral("floppy.img"));
    QVERIFY(mtools(QStringLiteral("mformat"), {QStringLiteral("-i"), m_floppy, QStringLiteral("-C"),
                                               QStringLiteral("-f"), QStringLiteral("1440"), QStringLiteral("::")}));
    QVERIFY(copyOnto(m_floppy, m_machine.dir.path()));
}

void ImageTest::locatesTheFatVolume_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("partition");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QString>("error");
    const QByteArray two = mbr({partitionEntry(false, 0x06, 63, 1000), partitionEntry(true, 0x0B, 2048, 1000)});
    QTest::newRow("bare volume") << fatBootSector() << 0 << qint64(0) << QString();
    QTest::newRow("active fat partition") << two << 0 << qint64(2048 * 512) << QString();
    QTest::newRow("partition named") << two << 1 << qint64(63 * 512) << QString();
    QTest::newRow("first fat when none active")
        << mbr({partitionEntry(false, 0x83, 63, 100), partitionEntry(false, 0x0C, 2048, 100)}) << 0
        << qint64(2048 * 512) << QString();
    QTest::newRow("active but not fat")
        << mbr({partitionEntry(true, 0x83, 63, 100), partitionEntry(false, 0x0E, 2048, 100)}) << 0
        << qint64(2048 * 512) << QString();
    QTest::newRow("no such partition") << two << 3 << qint64(-1) << QStringLiteral("d.img har ingen partisjon 3");
    QTest::newRow("partition without fat")
        << mbr({partitionEntry(true, 0x83, 4096, 100)}) << 0 << qint64(-1)
        << QStringLiteral("partisjon 1 i d.img inneholder ingen FAT-stasjon");
    QTest::newRow("nothing") << QByteArray(512, 'x') << 0 << qint64(-1) << QStringLiteral("d.img inneholder ingen FAT-stasjon");
    QTest::newRow("too small") << QByteArray(100, '\0') << 0 << qint64(-1) << QStringLiteral("d.img er for lite til å være et diskbilde");
}

void ImageTest::locatesTheFatVolume()
{
    QFETCH(QByteArray, head);
    QFETCH(int, partition);
    QFETCH(qint64, offset);
    QFETCH(QString, error);
    // Sectors 63 and 2048 hold FAT boot sectors, every other one is empty.
    const auto sectorAt = [](qint64 at) {
        return at == 63 * 512 || at == 2048 * 512 ? fatBootSector() : QByteArray(512, '\0');
    };
    const FatVolume v = FatVolume::locate(head, sectorAt, qint64(8) << 20, partition, QStringLiteral("d.img"));
    QCOMPARE(v.offset, offset);
    QCOMPARE(v.error, error);
}

void ImageTest::floppyReadsLikeADirectory()
{
    const QByteArray before = fingerprint(m_floppy);
    for (const QStringList &mode : {QStringList{QStringLiteral("--report")},
                                    QStringList{QStringLiteral("--check"), QStringLiteral("device=himem.sys /x")},
                                    QStringList{QStringLiteral("--check"), QStringLiteral("run=C:\\WINDOWS\\GONE.EXE")}}) {
        const Run image = vendral(QStringList{QStringLiteral("--drive"), QStringLiteral("C=") + m_floppy} + mode);
        const Run directory = vendral(QStringList{QStringLiteral("--drive"), QStringLiteral("C=") + m_machine.dir.path()} + mode);
        QCOMPARE(image.exitCode, directory.exitCode);
        QVERIFY(QJsonDocument::fromJson(image.out).isObject());
        QCOMPARE(image.out, directory.out);
    }
    QCOMPARE(fingerprint(m_floppy), before); // never written
}

void ImageTest::partitionedHardDisk()
{
    // Two FAT16 partitions of 16 MB: the second is active.
    const QString disk = m_dir.filePath(QStringLiteral("disk.img"));
    {
        QFile f(disk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(mbr({partitionEntry(false, 0x06, 2048, 32768), partitionEntry(true, 0x06, 36864, 32768)}));
        f.resize(qint64(36864 + 32768) * 512);
    }
    ScratchDrive other;
    other.writeMachine();
    other.write(QStringLiteral("CONFIG.SYS"), "REM the second partition\r\n");
    for (const auto &[offset, source] : {std::pair(2048, m_machine.dir.path()), std::pair(36864, other.dir.path())}) {
        const QString volume = disk + QStringLiteral("@@") + QString::number(qint64(offset) * 512);
        QVERIFY(mtools(QStringLiteral("mformat"), {QStringLiteral("-i"), volume, QStringLiteral("-T"), QStringLiteral("32768"),
                                                   QStringLiteral("-h"), QStringLiteral("16"), QStringLiteral("-s"),
                                                   QStringLiteral("32"), QStringLiteral("::")}));
        QVERIFY(copyOnto(volume, source));
    }
    const auto configOf = [&](const QString &image) {
        const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + image, QStringLiteral("--report")});
        return QJsonDocument::fromJson(run.out).object().value(QLatin1String("config.sys")).toObject()
            .value(QLatin1String("lines")).toArray().first().toString();
    };
    QCOMPARE(configOf(disk), QStringLiteral("REM the second partition"));
    QCOMPARE(configOf(disk + QStringLiteral("#1")), QStringLiteral("DEVICE=C:\\WINDOWS\\HIMEM.SYS"));
    QCOMPARE(configOf(disk + QStringLiteral("#2")), QStringLiteral("REM the second partition"));
    const Run missing = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + disk + QStringLiteral("#3"), QStringLiteral("--report")});
    QCOMPARE(missing.exitCode, 2);
    QCOMPARE(missing.err, QByteArray("vendral: disk.img har ingen partisjon 3\n"));
}

void ImageTest::fat32WithLongNames()
{
    const QString image = m_dir.filePath(QStringLiteral("fat32.img"));
    QVERIFY(mtools(QStringLiteral("mformat"), {QStringLiteral("-i"), image, QStringLiteral("-C"), QStringLiteral("-F"),
                                               QStringLiteral("-T"), QStringLiteral("80000"), QStringLiteral("-h"),
                                               QStringLiteral("16"), QStringLiteral("-s"), QStringLiteral("32"), QStringLiteral("::")}));
    ScratchDrive c;
    c.writeMachine();
    c.write(QStringLiteral("Program Files/Mitt Spill/Langt Navn.exe"), "x");
    c.write(QStringLiteral(u"WINDOWS/Blå skjerm.scr"), "x");
    QVERIFY(copyOnto(image, c.dir.path()));

    const auto check = [&](const char *line) {
        const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + image, QStringLiteral("--check"),
                                 QString::fromUtf8(line)});
        return QJsonDocument::fromJson(run.out).object();
    };
    QJsonObject r = check("run=C:\\PROGRAM FILES\\mitt spill\\langt navn.exe");
    QVERIFY(r.value(QLatin1String("found")).toBool());
    QVERIFY(r.value(QLatin1String("runnable")).toBool());
    QCOMPARE(r.value(QLatin1String("runPath")).toString(), QStringLiteral("C:\\PROGRAM FILES\\MITT SPILL\\LANGT NAVN.EXE"));
    r = check("run=C:\\PROGRA~1\\MITTSP~1\\LANGTN~1.EXE"); // the short names work too
    QVERIFY(r.value(QLatin1String("found")).toBool());
    r = check("SCRNSAVE.EXE=blå skjerm.scr");
    QVERIFY(r.value(QLatin1String("found")).toBool());
    const Run report = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + image, QStringLiteral("--report")});
    QCOMPARE(report.exitCode, 0);
}

void ImageTest::dosRulesOnAnImage()
{
    QString error;
    const std::shared_ptr<ImageDrive> image = ImageDrive::open(m_floppy, 0, &error);
    QVERIFY2(image, qPrintable(error));
    DriveMap drives(DriveMap::none());
    drives.setDrive(QLatin1Char('C'), image);
    QVERIFY(drives.fileExists("c:\\windows\\win.ini"));
    QVERIFY(drives.fileExists("C:\\..\\..\\WINDOWS\\..\\CONFIG.SYS"));
    QVERIFY(drives.fileExists("C:\\WINDOWS\\HIMEM.SYS. "));
    QVERIFY(!drives.fileExists("C:\\WINDOWS"));    // a directory
    QVERIFY(!drives.fileExists("C:\\"));
    QVERIFY(!drives.fileExists("C:\\WINDOWS\\*.INI")); // no wildcards
    QVERIFY(!drives.fileExists("C:\\NOPE.SYS"));
    // No host file to start a program from.
    QVERIFY(!drives.hostFile("C:\\WINDOWS\\NOTEPAD.EXE").has_value());
    try {
        drives.readFile("C:\\WINDOWS");
        QFAIL("a directory cannot be read");
    } catch (const FileError &e) {
        QCOMPARE(e.message(), QStringLiteral("Kan ikke lese C:\\WINDOWS: det er en mappe, ikke en fil."));
    }
    QCOMPARE(drives.readFile("C:\\CONFIG.SYS"), QByteArray("DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\n"));
}

void ImageTest::fixedVhd()
{
    const QString vhd = m_dir.filePath(QStringLiteral("fixed.vhd"));
    QVERIFY(QFile::copy(m_floppy, vhd));
    QFile f(vhd);
    QVERIFY(f.open(QIODevice::Append));
    f.write(sector({{0, "conectix"}, {60, QByteArray("\0\0\0\x02", 4)}}));
    f.close();
    const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + vhd, QStringLiteral("--report")});
    QCOMPARE(run.exitCode, 0);
}

void ImageTest::refusedImages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("text file") << QByteArray(4096, 'a') << "x.img inneholder ingen FAT-stasjon";
    QTest::newRow("qcow2") << sector({{0, "QFI\xfb"}}) << "x.img er et QCOW2-bilde";
    QTest::newRow("dynamic vhd") << sector({{0, "conectix"}, {60, QByteArray("\0\0\0\x03", 4)}}) << "x.img er et dynamisk VHD-bilde";
    QTest::newRow("vdi") << sector({{0, "<<< Oracle VM VirtualBox Disk Image >>>"}, {0x40, "\x7f\x10\xda\xbe"}}) << "x.img er et VDI-bilde";
    QTest::newRow("vmdk") << sector({{0, "KDMV"}}) << "x.img er et VMDK-bilde";
    QTest::newRow("empty") << QByteArray() << "x.img er for lite til å være et diskbilde";
}

void ImageTest::refusedImages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QStringLiteral("x.img"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + path, QStringLiteral("--report")});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(QString::fromUtf8(run.err).startsWith(QStringLiteral("vendral: ") + message), run.err.constData());
    if (message.contains(QLatin1String("-bilde")))
        QVERIFY(run.err.contains("qemu-img convert"));
}

void ImageTest::truncatedImage()
{
    const QString cut = m_dir.filePath(QStringLiteral("cut.img"));
    QVERIFY(QFile::copy(m_floppy, cut));
    QFile f(cut);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.resize(8192));
    f.close();
    const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + cut, QStringLiteral("--report")});
    QCOMPARE(run.exitCode, 1); // a clear failure, not a crash or a hang
    const QString error = QJsonDocument::fromJson(run.out).object().value(QLatin1String("error")).toString();
    QVERIFY2(error.startsWith(QStringLiteral("Kan ikke lese C:\\")), qPrintable(error));
}

QTEST_GUILESS_MAIN(ImageTest)
#include "tst_image.moc"
