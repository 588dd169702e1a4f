// Drive C: read straight from a disk image: raw ones through mtools, every
// virtual-disk format through QEMU as well. The images are built here with
// mformat, mcopy and qemu-img (and an MBR or a differencing VHD written by
// the test), so no binary image is kept in the sources.
#include "drives/boundedprocess.h"
#include "drives/diskimage.h"
#include "drives/fatreader.h"
#include "drives/imagedrive.h"
#include "drives/machineletters.h"
#include "loading/failure.h"
#include "scratchdrive.h"
#include "littleendian.h"
#include "testhelpers.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

// Files of an image's folder by name.
using Files = QMap<QString, QByteArray>;
// Sectors of a disk by number.
using Sectors = QMap<qint64, QByteArray>;

namespace {

bool tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MTOOLSRC"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

bool mtools(const QString &program, const QStringList &arguments)
{
    return tool(program, arguments);
}

bool qemuImg(const QStringList &arguments)
{
    return tool(QStringLiteral("qemu-img"), arguments);
}

// Copies a directory's tree onto the volume at `image` (with @@offset).
bool copyOnto(const QString &image, const QString &directory)
{
    const QStringList entries = QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QStringList arguments{QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("-i"), image};
    for (const QString &e : entries)
        arguments.append(directory + QLatin1Char('/') + e);
    arguments.append(QStringLiteral("::/"));
    return mtools(QStringLiteral("mcopy"), arguments);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
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

// A directory entry of a short name ("NOTEPAD LNK", 11 bytes).
QByteArray shortEntry(const char *name, unsigned char attributes = 0x20, unsigned char caseFlags = 0)
{
    QByteArray e(name, 11);
    e.append(char(attributes)).append(char(caseFlags));
    e.append(QByteArray(13, '\0'));
    littleendian::append16(e, 2); // first cluster
    littleendian::append32(e, 1); // size
    return e;
}

// The entries of a long name, last part first, for the short entry `name`.
QByteArray longEntries(const QString &longName, const char *name, int checksumOff = 0)
{
    unsigned char sum = 0;
    for (int i = 0; i < 11; ++i)
        sum = static_cast<unsigned char>(((sum & 1) << 7) + (sum >> 1) + static_cast<unsigned char>(name[i]));
    QList<char16_t> chars;
    for (QChar c : longName)
        chars.append(c.unicode());
    if (chars.size() % 13)
        chars.append(0);
    while (chars.size() % 13)
        chars.append(0xFFFF);
    const int parts = int(chars.size() / 13);
    QByteArray out;
    for (int part = parts; part >= 1; --part) {
        QByteArray e(32, '\0');
        e[0] = char(part | (part == parts ? 0x40 : 0));
        e[11] = 0x0F;
        e[13] = char(sum + checksumOff);
        static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int i = 0; i < 13; ++i) {
            const char16_t c = chars[(part - 1) * 13 + i];
            e[kOffsets[i]] = char(c & 0xFF);
            e[kOffsets[i] + 1] = char(c >> 8);
        }
        out.append(e);
    }
    return out;
}

unsigned le16At(const QByteArray &bytes, qsizetype at)
{
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

// Sets a cluster's entry in both FATs of a FAT12 volume at the image's start.
void setFat12(QByteArray &image, quint32 cluster, quint32 value)
{
    const qsizetype fatBytes = qsizetype(le16At(image, 22)) * 512;
    for (qsizetype fat = 0; fat < 2; ++fat) {
        const qsizetype at = qsizetype(le16At(image, 14)) * 512 + fat * fatBytes + cluster + cluster / 2;
        unsigned pair = le16At(image, at);
        pair = cluster & 1 ? (pair & 0x000F) | (value << 4) : (pair & 0xF000) | (value & 0xFFF);
        image[at] = char(pair & 0xFF);
        image[at + 1] = char(pair >> 8);
    }
}

QByteArray fingerprint(const QString &path)
{
    return QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha256).toHex() + ' '
           + QByteArray::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
}

void putBe(QByteArray &bytes, qsizetype at, quint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * (width - 1 - i)));
}

quint64 be(const QByteArray &bytes, qsizetype at, int width)
{
    quint64 v = 0;
    for (int i = 0; i < width; ++i)
        v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

void seal(QByteArray &structure, qsizetype checksumAt)
{
    putBe(structure, checksumAt, 0, 4);
    quint32 sum = 0;
    for (char c : structure)
        sum += static_cast<unsigned char>(c);
    putBe(structure, checksumAt, ~sum, 4);
}

// A differencing VHD over the dynamic VHD whose footer is `parentFooter`,
// named `parentName` next to it. It holds the sectors where `changed`
// differs from `base` (raw images of the parent's disk); the other sectors
// of its blocks hold 0xEE, which a reader that ignores the sector bitmap
// would show.
QByteArray differencingVhd(const QByteArray &parentFooter, const QString &parentName, const QByteArray &base,
                           const QByteArray &changed)
{
    const qint64 size = static_cast<qint64>(be(parentFooter, 48, 8));
    const qint64 blockSize = 2 << 20;
    const int blocks = static_cast<int>((size + blockSize - 1) / blockSize);
    QByteArray footer = parentFooter;
    putBe(footer, 16, 512, 8); // the dynamic header follows
    putBe(footer, 60, 4, 4);   // differencing
    for (int i = 0; i < 16; ++i)
        footer[68 + i] = static_cast<char>(0xA0 + i); // its own identity
    seal(footer, 64);

    const int tableAt = 1536;
    const int tableBytes = (blocks * 4 + 511) / 512 * 512;
    QByteArray relative; // UTF-16LE
    for (QChar c : parentName)
        relative.append(static_cast<char>(c.unicode() & 0xFF)).append(static_cast<char>(c.unicode() >> 8));
    QByteArray dyn(1024, '\0');
    dyn.replace(0, 8, "cxsparse");
    putBe(dyn, 8, ~quint64(0), 8);
    putBe(dyn, 16, tableAt, 8);
    putBe(dyn, 24, 0x00010000, 4);
    putBe(dyn, 28, static_cast<quint64>(blocks), 4);
    putBe(dyn, 32, blockSize, 4);
    dyn.replace(40, 16, parentFooter.mid(68, 16));
    for (int i = 0; i < parentName.size(); ++i)
        putBe(dyn, 64 + 2 * i, parentName[i].unicode(), 2);
    putBe(dyn, 576, 0x57327275, 4); // "W2ru"
    putBe(dyn, 580, 1, 4);
    putBe(dyn, 584, static_cast<quint64>(relative.size()), 4);
    putBe(dyn, 592, static_cast<quint64>(tableAt + tableBytes), 8);
    seal(dyn, 36);

    QByteArray image = footer + dyn + QByteArray(tableBytes, '\xff') + relative.leftJustified(512, '\0');
    for (int b = 0; b < blocks && !changed.isEmpty(); ++b) {
        QByteArray bitmap(512, '\0');
        QByteArray data(blockSize, '\xee');
        bool holds = false;
        for (qint64 s = 0; s < blockSize / 512 && b * blockSize + s * 512 < size; ++s) {
            const qint64 at = b * blockSize + s * 512;
            if (base.mid(at, 512) != changed.mid(at, 512)) {
                bitmap[s / 8] = static_cast<char>(bitmap[s / 8] | (0x80 >> (s % 8)));
                data.replace(s * 512, 512, changed.mid(at, 512).leftJustified(512, '\0'));
                holds = true;
            }
        }
        if (!holds)
            continue;
        putBe(image, tableAt + 4 * b, static_cast<quint64>(image.size() / 512), 4);
        image += bitmap + data;
    }
    return image + footer;
}

// A helper program for the time-limit tests: a shell script.
QString script(const QString &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write("#!/bin/sh\n" + body + "\n") < 0)
        return QString();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

bool processGone(qint64 pid)
{
    // Gone, or a zombie waiting for its reaper.
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.isEmpty() || stat.contains(") Z ");
}

// The calls of a report on `image`, under strace, that open a file for
// writing or change one; opening the program's own memory (a memfd) is no
// write. Empty without strace.
// The calls of an `strace -f -o` log, one per line: a call that another
// thread interrupted ("<unfinished ...>") is joined to its "resumed" end, so
// its arguments and result are seen together.
QStringList tracedCalls(const QString &log)
{
    static const QRegularExpression resumed(QStringLiteral("^(\\d+)\\s+<\\.\\.\\. \\w+ resumed>(.*)$"));
    static const QRegularExpression pid(QStringLiteral("^(\\d+)\\s"));
    static const QLatin1String unfinished(" <unfinished ...>");
    QHash<QString, QString> pending;
    QStringList calls;
    for (const QByteArray &line : readAll(log).split('\n')) {
        const QString call = QString::fromUtf8(line);
        if (call.endsWith(unfinished)) {
            pending.insert(pid.match(call).captured(1), call.chopped(unfinished.size()));
        } else if (const auto end = resumed.match(call); end.hasMatch()) {
            calls.append(pending.take(end.captured(1)) + end.captured(2));
        } else {
            calls.append(call);
        }
    }
    return calls + pending.values();
}

QStringList writesOfAReportOn(const QString &image)
{
    if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        return {};
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("trace"));
    QProcess strace;
    strace.start(QStringLiteral("strace"), {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-y"),
                                            QStringLiteral("-o"), log, QStringLiteral("-e"), QStringLiteral("trace=%file,%desc"),
                                            qEnvironmentVariable("VENDRAL_BINARY"), QStringLiteral("--drive"),
                                            QStringLiteral("C=") + image, QStringLiteral("--report")});
    if (!strace.waitForFinished(60000))
        return {QStringLiteral("strace did not finish")};
    static const QRegularExpression opensForWriting(QStringLiteral("(open|openat|openat2|creat)\\(.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC)"));
    static const QRegularExpression changes(QStringLiteral(
        "(^|[^a-z_])(mkdir|mkdirat|rmdir|unlink|unlinkat|rename|renameat2?|link|linkat|symlink|symlinkat|truncate|"
        "chmod|fchmodat|chown|fchownat|lchown|utimes|utimensat|futimesat|mknod|mknodat|setxattr|lsetxattr|removexattr)\\("));
    QStringList writes;
    for (const QString &call : tracedCalls(log)) {
        if ((opensForWriting.match(call).hasMatch() && !call.contains(QLatin1String("</memfd:")))
            || changes.match(call).hasMatch())
            writes.append(call);
    }
    return writes;
}

// `environment` as vendral() takes it.
QByteArray reportOn(const QString &image, const QStringList &environment = {})
{
    const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + image, QStringLiteral("--report")}, environment);
    if (run.exitCode != 0 || !QJsonDocument::fromJson(run.out).isObject())
        qWarning("report on %s: exit %d, %s", qPrintable(image), run.exitCode, run.err.constData());
    return run.out;
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
    void everyFormatReadsLikeTheRawImage_data();
    void everyFormatReadsLikeTheRawImage();
    void badImages_data();
    void badImages();
    void helpersAreBounded_data();
    void helpersAreBounded();
    void theCheckedFileIsRead_data();
    void theCheckedFileIsRead();
    void atSignsAreNoOffset();
    void directoryEntriesAsWindowsShowsThem_data();
    void directoryEntriesAsWindowsShowsThem();
    void damagedFatsAreOneLine_data();
    void damagedFatsAreOneLine();
    void lettersAsDosGivesThem_data();
    void lettersAsDosGivesThem();
    void machineOfTwoDisks();
    void untrustedImages_data();
    void untrustedImages();
    void helpersDieWithTheProgram_data();
    void helpersDieWithTheProgram();

private:
    QString build(const QString &format, QString *raw);

    QTemporaryDir m_dir;
    QString m_floppy;  // FAT12, a bare volume
    QString m_disk;    // a hard disk: an MBR and a FAT32 partition at sector 2048
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

    m_disk = m_dir.filePath(QStringLiteral("harddisk.img"));
    {
        QFile f(m_disk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(mbr({partitionEntry(true, 0x0C, 2048, 80000)}));
        f.resize(qint64(2048 + 80000) * 512);
    }
    const QString volume = m_disk + QStringLiteral("@@1048576");
    QVERIFY(mtools(QStringLiteral("mformat"), {QStringLiteral("-i"), volume, QStringLiteral("-F"), QStringLiteral("-T"),
                                               QStringLiteral("80000"), QStringLiteral("-h"), QStringLiteral("16"),
                                               QStringLiteral("-s"), QStringLiteral("32"), QStringLiteral("::")}));
    QVERIFY(copyOnto(volume, m_machine.dir.path()));
}

void ImageTest::locatesTheFatVolume_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("partition");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QString>("error");
    QTest::addColumn<Sectors>("more"); // sectors beside the head, by number
    const QByteArray two = mbr({partitionEntry(false, 0x06, 63, 1000), partitionEntry(true, 0x0B, 2048, 1000)});
    // A primary FAT drive, then an extended partition at sector 1000 whose
    // chain holds two logical drives: at 1000 + 1048 and at 3000 + 48.
    const QByteArray extended = mbr({partitionEntry(true, 0x06, 63, 900), partitionEntry(false, 0x0F, 1000, 4000)});
    const auto record = [](quint32 logicalStart, quint32 next) {
        return mbr({partitionEntry(false, 0x06, logicalStart, 100),
                    next ? partitionEntry(false, 0x05, next, 1000) : QByteArray(16, '\0')});
    };
    const Sectors chain{{1000, record(1048, 2000)}, {3000, record(48, 0)}, {3048, fatBootSector()}};
    QTest::newRow("first logical drive") << extended << 5 << qint64(2048 * 512) << QString() << chain;
    QTest::newRow("second logical drive") << extended << 6 << qint64(3048 * 512) << QString() << chain;
    QTest::newRow("no third logical drive") << extended << 7 << qint64(-1) << QStringLiteral("d.img har ingen partisjon 7") << chain;
    QTest::newRow("the default is the primary drive") << extended << 0 << qint64(63 * 512) << QString() << chain;
    QTest::newRow("a chain that loops") << extended << 5 << qint64(-1)
                                        << QStringLiteral("den utvidede partisjonen i d.img peker tilbake på seg selv")
                                        << Sectors{{1000, record(1048, 2000)}, {3000, record(48, 2000)}};
    QTest::newRow("a chain that leaves the disk") << extended << 5 << qint64(-1)
                                                  << QStringLiteral("den utvidede partisjonen i d.img peker ut av disken")
                                                  << Sectors{{1000, record(1048, 1u << 30)}};
    QTest::newRow("a damaged record") << extended << 6 << qint64(-1)
                                      << QStringLiteral("den utvidede partisjonen i d.img er skadet") << Sectors{};
    QTest::newRow("bare volume") << fatBootSector() << 0 << qint64(0) << QString() << Sectors{};
    QTest::newRow("active fat partition") << two << 0 << qint64(2048 * 512) << QString() << Sectors{};
    QTest::newRow("partition named") << two << 1 << qint64(63 * 512) << QString() << Sectors{};
    QTest::newRow("first fat when none active")
        << mbr({partitionEntry(false, 0x83, 63, 100), partitionEntry(false, 0x0C, 2048, 100)}) << 0
        << qint64(2048 * 512) << QString() << Sectors{};
    QTest::newRow("active but not fat")
        << mbr({partitionEntry(true, 0x83, 63, 100), partitionEntry(false, 0x0E, 2048, 100)}) << 0
        << qint64(2048 * 512) << QString() << Sectors{};
    QTest::newRow("no such partition") << two << 3 << qint64(-1) << QStringLiteral("d.img har ingen partisjon 3") << Sectors{};
    QTest::newRow("partition without fat")
        << mbr({partitionEntry(true, 0x83, 4096, 100)}) << 0 << qint64(-1)
        << QStringLiteral("partisjon 1 i d.img inneholder ingen FAT-stasjon") << Sectors{};
    QTest::newRow("nothing") << QByteArray(512, 'x') << 0 << qint64(-1) << QStringLiteral("d.img inneholder ingen FAT-stasjon") << Sectors{};
    QTest::newRow("too small") << QByteArray(100, '\0') << 0 << qint64(-1) << QStringLiteral("d.img er for lite til å være et diskbilde") << Sectors{};
}

void ImageTest::locatesTheFatVolume()
{
    QFETCH(QByteArray, head);
    QFETCH(int, partition);
    QFETCH(qint64, offset);
    QFETCH(QString, error);
    QFETCH(Sectors, more);
    // Sectors 63 and 2048 hold FAT boot sectors, every other one is empty.
    const auto sectorAt = [&more](qint64 at) {
        if (more.contains(at / 512))
            return more.value(at / 512);
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
    // Two FAT16 partitions of 16 MB, the second active, and an extended
    // partition holding one logical FAT16 drive, as FDISK lays them out.
    const QString disk = m_dir.filePath(QStringLiteral("disk.img"));
    {
        QFile f(disk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(mbr({partitionEntry(false, 0x06, 2048, 32768), partitionEntry(true, 0x06, 36864, 32768),
                     partitionEntry(false, 0x0F, 69632, 36864)}));
        QVERIFY(f.seek(qint64(69632) * 512));
        f.write(mbr({partitionEntry(false, 0x06, 2048, 32768)}));
        f.resize(qint64(69632 + 36864) * 512);
    }
    ScratchDrive other, logical;
    other.writeMachine();
    other.write(QStringLiteral("CONFIG.SYS"), "REM the second partition\r\n");
    logical.writeMachine();
    logical.write(QStringLiteral("CONFIG.SYS"), "REM the logical drive\r\n");
    for (const auto &[offset, source] : {std::pair(2048, m_machine.dir.path()), std::pair(36864, other.dir.path()),
                                         std::pair(71680, logical.dir.path())}) {
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
    QCOMPARE(configOf(disk + QStringLiteral("#5")), QStringLiteral("REM the logical drive"));
    for (const char *number : {"4", "6"}) {
        const Run missing = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + disk + QLatin1Char('#') + QLatin1String(number),
                                     QStringLiteral("--report")});
        QCOMPARE(missing.exitCode, 2);
        QCOMPARE(missing.err, "vendral: disk.img har ingen partisjon " + QByteArray(number) + '\n');
    }
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
    const Result<std::shared_ptr<ImageDrive>> image = ImageDrive::open(m_floppy, 0);
    QVERIFY2(image, qPrintable(image.reason()));
    DriveMap drives(DriveMap::none());
    drives.setDrive(QLatin1Char('C'), *image);
    QVERIFY(drives.fileExists("c:\\windows\\win.ini"));
    QVERIFY(drives.fileExists("C:\\..\\..\\WINDOWS\\..\\CONFIG.SYS"));
    QVERIFY(drives.fileExists("C:\\WINDOWS\\HIMEM.SYS. "));
    QVERIFY(!drives.fileExists("C:\\WINDOWS"));    // a directory
    QVERIFY(!drives.fileExists("C:\\"));
    QVERIFY(!drives.fileExists("C:\\WINDOWS\\*.INI")); // no wildcards
    QVERIFY(!drives.fileExists("C:\\NOPE.SYS"));
    // No host file to start a program from.
    QVERIFY(!drives.hostFile("C:\\WINDOWS\\NOTEPAD.EXE").has_value());
    QCOMPARE(readFailure(drives, "C:\\WINDOWS"), QStringLiteral("Kan ikke lese C:\\WINDOWS: det er en mappe, ikke en fil."));
    QCOMPARE(drives.readFile("C:\\WINDOWS").kind(), FailureKind::NotRegular);
    QCOMPARE(bytesOf(drives.readFile("C:\\CONFIG.SYS")), QByteArray("DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\n"));

    // The volume is read by the program itself: a search path of hundreds
    // of absent folders starts no helper, counted by wrappers around the
    // tools that could read it.
    QTemporaryDir bin;
    const QString count = bin.filePath(QStringLiteral("runs"));
    for (const char *tool : {"mdir", "mshowfat", "mtype", "qemu-img"}) {
        const QString real = QStandardPaths::findExecutable(QLatin1String(tool));
        QVERIFY(!script(bin.path(), QLatin1String(tool), "echo x >> '" + count.toUtf8() + "'\nexec '" + real.toUtf8() + "' \"$@\"").isEmpty());
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    {
        DriveMap::Pass pass(drives);
        for (int i = 0; i < 300; ++i) {
            QVERIFY(!drives.listDirectory(QByteArray("C:\\GONE" + QByteArray::number(i))));
            QVERIFY(!drives.fileExists(QByteArray("C:\\GONE" + QByteArray::number(i) + "\\BIN\\TOOL.EXE")));
        }
        QVERIFY(drives.listDirectory("C:\\WINDOWS"));
        QVERIFY(drives.fileExists("C:\\WINDOWS\\HIMEM.SYS"));
    }
    qputenv("PATH", path);
    QVERIFY2(!QFile::exists(count), readAll(count).constData());
}

// The same drive in every format: the report equals the raw image's, the
// directory listing too, and the image is left as it was.
void ImageTest::everyFormatReadsLikeTheRawImage_data()
{
    QTest::addColumn<QString>("format");
    for (const char *format : {"qcow2", "qcow2 compressed", "qcow2 over a parent", "dynamic vhd", "fixed vhd",
                               "differencing vhd", "vdi", "vmdk", "vmdk in parts", "floppy as qcow2"})
        QTest::newRow(format) << QString::fromLatin1(format);
}

// Builds the image for a row from the hard disk (or the floppy), and names
// the raw image it must read like.
QString ImageTest::build(const QString &format, QString *raw)
{
    const QString dir = m_dir.filePath(QString(format).replace(QLatin1Char(' '), QLatin1Char('-')));
    QDir().mkpath(dir);
    const QString image = dir + QStringLiteral("/c.img"); // the name tells nothing
    *raw = format.startsWith(QLatin1String("floppy")) ? m_floppy : m_disk;
    const auto convert = [&](const QStringList &options, const QString &to) {
        return qemuImg(QStringList{QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("raw")} + options
                       + QStringList{*raw, to});
    };
    bool ok = false;
    if (format == QLatin1String("qcow2") || format == QLatin1String("floppy as qcow2"))
        ok = convert({QStringLiteral("-O"), QStringLiteral("qcow2")}, image);
    else if (format == QLatin1String("qcow2 compressed"))
        ok = convert({QStringLiteral("-c"), QStringLiteral("-O"), QStringLiteral("qcow2")}, image);
    else if (format == QLatin1String("qcow2 over a parent"))
        ok = convert({QStringLiteral("-O"), QStringLiteral("qcow2")}, dir + QStringLiteral("/base.qcow2"))
             && qemuImg({QStringLiteral("create"), QStringLiteral("-f"), QStringLiteral("qcow2"), QStringLiteral("-b"),
                         QStringLiteral("base.qcow2"), QStringLiteral("-F"), QStringLiteral("qcow2"), image});
    else if (format == QLatin1String("dynamic vhd"))
        ok = convert({QStringLiteral("-O"), QStringLiteral("vpc"), QStringLiteral("-o"), QStringLiteral("subformat=dynamic")}, image);
    else if (format == QLatin1String("fixed vhd"))
        ok = convert({QStringLiteral("-O"), QStringLiteral("vpc"), QStringLiteral("-o"), QStringLiteral("subformat=fixed")}, image);
    else if (format == QLatin1String("vdi"))
        ok = convert({QStringLiteral("-O"), QStringLiteral("vdi")}, image);
    else if (format == QLatin1String("vmdk"))
        ok = convert({QStringLiteral("-O"), QStringLiteral("vmdk")}, image);
    else if (format == QLatin1String("vmdk in parts"))
        ok = convert({QStringLiteral("-O"), QStringLiteral("vmdk"), QStringLiteral("-o"),
                      QStringLiteral("subformat=twoGbMaxExtentSparse")}, image);
    else if (format == QLatin1String("differencing vhd")) {
        // The parent holds the drive; the child changes CONFIG.SYS.
        const QString parent = dir + QStringLiteral("/parent.vhd");
        const QString changed = dir + QStringLiteral("/changed.img");
        ScratchDrive edit;
        edit.write(QStringLiteral("CONFIG.SYS"), "REM changed in the child\r\nDEVICE=C:\\WINDOWS\\HIMEM.SYS\r\n");
        ok = convert({QStringLiteral("-O"), QStringLiteral("vpc"), QStringLiteral("-o"), QStringLiteral("subformat=dynamic")}, parent)
             && QFile::copy(*raw, changed) && copyOnto(changed + QStringLiteral("@@1048576"), edit.dir.path());
        if (ok) {
            writeAll(image, differencingVhd(readAll(parent).left(512), QStringLiteral("parent.vhd"), readAll(*raw),
                                            readAll(changed)));
            *raw = changed;
        }
    }
    return ok ? image : QString();
}

void ImageTest::everyFormatReadsLikeTheRawImage()
{
    QFETCH(QString, format);
    if (QStandardPaths::findExecutable(QStringLiteral("qemu-img")).isEmpty())
        QSKIP("qemu-img is not installed");
    QString raw;
    const QString image = build(format, &raw);
    QVERIFY(!image.isEmpty());
    QStringList files = QDir(QFileInfo(image).path()).entryList(QDir::Files);
    QMap<QString, QByteArray> before;
    for (const QString &f : files)
        before[f] = fingerprint(QFileInfo(image).path() + QLatin1Char('/') + f);

    const QByteArray expected = reportOn(raw);
    QVERIFY(QJsonDocument::fromJson(expected).isObject());
    QCOMPARE(reportOn(image), expected);
    // A QCOW2 or a sparse VMDK of one file is read with no helper: so too
    // with no qemu-img.
    if ((format.contains(QLatin1String("qcow2")) && !format.contains(QLatin1String("parent"))) || format == QLatin1String("vmdk"))
        QCOMPARE(reportOn(image, {QStringLiteral("PATH=/nonexistent")}), expected);

    const Result<std::shared_ptr<ImageDrive>> drive = ImageDrive::open(image, 0);
    QVERIFY2(drive, qPrintable(drive.reason()));
    const Result<std::shared_ptr<ImageDrive>> rawDrive = ImageDrive::open(raw, 0);
    QVERIFY(rawDrive);
    const Result<QList<DirEntry>> listing = (*drive)->listDirectory({QStringLiteral("WINDOWS")});
    const Result<QList<DirEntry>> rawListing = (*rawDrive)->listDirectory({QStringLiteral("WINDOWS")});
    QVERIFY2(listing, qPrintable(listing.reason()));
    QCOMPARE(listing->size(), rawListing->size());
    for (qsizetype i = 0; i < listing->size(); ++i)
        QCOMPARE(listing->at(i).name, rawListing->at(i).name);
    if (format != QLatin1String("fixed vhd")) // read where it lies
        QVERIFY((*drive)->unpackedBytes() > 0);

    const QStringList writes = writesOfAReportOn(image);
    QVERIFY2(writes.isEmpty(), qPrintable(writes.join(QLatin1Char('\n'))));
    for (const QString &f : files)
        QCOMPARE(fingerprint(QFileInfo(image).path() + QLatin1Char('/') + f), before[f]); // never written
}

void ImageTest::badImages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const auto imageOf = [this](const QStringList &options) {
        const QString image = m_dir.filePath(QStringLiteral("whole"));
        QFile::remove(image);
        if (!qemuImg(QStringList{QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("raw")} + options
                     + QStringList{m_floppy, image}))
            return QByteArray();
        return readAll(image);
    };
    const auto headerOf = [&imageOf](const QStringList &options) { return imageOf(options).left(512); };
    QTest::newRow("text file") << QByteArray(4096, 'a') << "x.img inneholder ingen FAT-stasjon";
    // Cut off while copied: said once, not as files that seem to be missing.
    QTest::newRow("floppy cut at 8 KiB") << readAll(m_floppy).left(8192) << "x.img er avkortet";
    QTest::newRow("floppy cut at 64 KiB") << readAll(m_floppy).left(65536) << "x.img er avkortet";
    QTest::newRow("empty") << QByteArray() << "x.img er for lite til å være et diskbilde";
    if (QStandardPaths::findExecutable(QStringLiteral("qemu-img")).isEmpty())
        return;
    const QString damaged = QStringLiteral("x.img er et skadet eller avkortet %1-bilde");
    QTest::newRow("qcow2 header alone") << headerOf({QStringLiteral("-O"), QStringLiteral("qcow2")}) << damaged.arg(QLatin1String("QCOW2"));
    QTest::newRow("dynamic vhd header alone")
        << headerOf({QStringLiteral("-O"), QStringLiteral("vpc")}) << damaged.arg(QLatin1String("dynamisk VHD"));
    QTest::newRow("vdi header alone") << headerOf({QStringLiteral("-O"), QStringLiteral("vdi")}) << damaged.arg(QLatin1String("VDI"));
    QTest::newRow("vmdk header alone") << headerOf({QStringLiteral("-O"), QStringLiteral("vmdk")}) << damaged.arg(QLatin1String("VMDK"));
    const QByteArray qcow2 = imageOf({QStringLiteral("-O"), QStringLiteral("qcow2")});
    QTest::newRow("qcow2 cut in half") << qcow2.left(qcow2.size() / 2) << damaged.arg(QLatin1String("QCOW2"));
    const QByteArray vmdk = imageOf({QStringLiteral("-O"), QStringLiteral("vmdk")});
    QTest::newRow("vmdk cut in half") << vmdk.left(vmdk.size() / 2) << damaged.arg(QLatin1String("VMDK"));
    // A compressed cluster, which vendral inflates itself, that does not
    // inflate: its bytes are the last of the file.
    QByteArray badCluster = imageOf({QStringLiteral("-c"), QStringLiteral("-O"), QStringLiteral("qcow2")});
    badCluster.replace(badCluster.size() - 512, 512, QByteArray(512, '\xff'));
    QTest::newRow("compressed qcow2 whose cluster does not inflate") << badCluster << damaged.arg(QLatin1String("QCOW2"));
    QByteArray version4 = qcow2;
    version4[7] = 4;
    QTest::newRow("qcow2 of a version QEMU does not know")
        << version4 << "x.img er et QCOW2-bilde av en utgave eller type som QEMU ikke kan lese";
    QByteArray differencingVdi = headerOf({QStringLiteral("-O"), QStringLiteral("vdi")});
    differencingVdi[0x4c] = 4;
    QTest::newRow("differencing vdi") << differencingVdi << "x.img er et differanse-VDI";
    QByteArray encrypted = imageOf({QStringLiteral("-O"), QStringLiteral("qcow2")});
    encrypted[35] = 2; // LUKS
    QTest::newRow("encrypted qcow2") << encrypted << "x.img er kryptert, og vendral leser ikke krypterte bilder";
    {
        const QString overlay = m_dir.filePath(QStringLiteral("overlay.qcow2"));
        QFile::remove(overlay);
        qemuImg({QStringLiteral("create"), QStringLiteral("-u"), QStringLiteral("-f"), QStringLiteral("qcow2"), QStringLiteral("-b"),
                 QStringLiteral("gone.qcow2"), QStringLiteral("-F"), QStringLiteral("qcow2"), overlay, QStringLiteral("1M")});
        QTest::newRow("qcow2 without its parent")
            << readAll(overlay) << QStringLiteral("foreldrebildet til x.img kan ikke leses: %1/gone.qcow2 finnes ikke").arg(m_dir.path());
    }
    {
        const QByteArray parent = headerOf({QStringLiteral("-O"), QStringLiteral("vpc")});
        QTest::newRow("differencing vhd without its parent")
            << differencingVhd(parent, QStringLiteral("gone.vhd"), QByteArray(), QByteArray())
            << QStringLiteral("foreldrebildet til x.img kan ikke leses: %1/gone.vhd finnes ikke").arg(m_dir.path());
    }
    // A header cut right after the field that tells its format: still told.
    QTest::newRow("vdi cut after its signature") << QByteArray(0x40, '\0') + QByteArray("\x7f\x10\xda\xbe", 4)
                                                 << damaged.arg(QLatin1String("VDI"));
    QTest::newRow("dynamic vhd cut after its disk type") << QByteArray("conectix").leftJustified(60, '\0') + QByteArray("\0\0\0\x03", 4)
                                                         << damaged.arg(QLatin1String("dynamisk VHD"));
    QTest::newRow("vhdx") << sector({{0, "vhdxfile"}}) << "x.img er et VHDX-bilde, som vendral ikke leser";
}

// Each bad image: exit code 2, nothing on stdout, one line on stderr.
void ImageTest::badImages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QStringLiteral("x.img"));
    writeAll(path, bytes);
    const Run run = vendral({QStringLiteral("--drive"), QStringLiteral("C=") + path, QStringLiteral("--report")});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(QString::fromUtf8(run.err).startsWith(QStringLiteral("vendral: ") + message), run.err.constData());
    if (message.contains(QLatin1String("VHDX")))
        QVERIFY(run.err.contains("qemu-img convert"));
}

// Every helper runs under a time limit in a process group of its own: a
// helper that hangs, ignores SIGTERM, floods its output or leaves a child
// behind is killed with all it started, and the run ends in one line.
void ImageTest::helpersAreBounded_data()
{
    QTest::addColumn<QByteArray>("body");     // of the helper, a shell script; $1 is a file for a child's pid
    QTest::addColumn<bool>("throughDrive");   // run as qemu-img, opening a QCOW2 image as a drive
    QTest::addColumn<int>("exitCode");        // when it ends by itself
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QString>("failure");     // when it is stopped
    const QByteArray hang = "trap '' TERM\nsleep 1000 & echo $! > \"$PIDFILE\"\nwait\nwait";
    QTest::newRow("hangs, ignoring SIGTERM") << hang << false << 0 << QByteArray()
                                             << "helper ble ikke ferdig innen 300 ms og ble stoppet";
    QTest::newRow("qemu-img hangs") << hang << true << 0 << QByteArray()
                                    << "kan ikke lese x.vdi: qemu-img ble ikke ferdig innen 300 ms og ble stoppet";
    QTest::newRow("leaves a child holding its output")
        << QByteArray("sleep 1000 & echo $! > \"$PIDFILE\"\necho done") << false << 0 << QByteArray("done\n") << QString();
    QTest::newRow("floods its output") << QByteArray("exec yes") << false << 0 << QByteArray()
                                       << "helper skrev mer enn 1 MB og ble stoppet";
    QTest::newRow("fails") << QByteArray("echo oops >&2\nexit 3") << false << 3 << QByteArray() << QString();
    QTest::newRow("crashes") << QByteArray("kill -SEGV $$") << false << 0 << QByteArray()
                             << "helper stoppet uventet (signal 11)";
    QTest::newRow("missing") << QByteArray() << false << 0 << QByteArray()
                             << "helper kan ikke startes: programmet finnes ikke (er pakken testpakke installert?)";
}

void ImageTest::helpersAreBounded()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, throughDrive);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QString, failure);
    QTemporaryDir bin;
    const QString pidFile = bin.filePath(QStringLiteral("child.pid"));
    qputenv("PIDFILE", QFile::encodeName(pidFile));
    const QString program = body.isEmpty() ? bin.filePath(QStringLiteral("helper"))
                                           : script(bin.path(), throughDrive ? QStringLiteral("qemu-img") : QStringLiteral("helper"), body);
    QVERIFY(!program.isEmpty());

    QString reason;
    if (throughDrive) {
        // The image is made by the real qemu-img; the fake one comes first
        // in PATH when the drive is opened. A VDI, which only QEMU reads.
        const QString vdi = bin.filePath(QStringLiteral("x.vdi"));
        if (!qemuImg({QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("raw"), QStringLiteral("-O"),
                      QStringLiteral("vdi"), m_floppy, vdi}))
            QSKIP("qemu-img is not installed");
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        const Result<std::shared_ptr<ImageDrive>> drive = ImageDrive::open(vdi, 0, ImageDrive::Limits{300});
        qputenv("PATH", path);
        QVERIFY(!drive);
        reason = drive.reason();
    } else {
        BoundedCommand command;
        command.program = program;
        command.timeLimitMs = 300;
        command.package = QStringLiteral("testpakke");
        const Result<ProcessOutput> run = runBounded(command);
        if (run) {
            QCOMPARE(run->exitCode, exitCode);
            QCOMPARE(run->out, out);
            if (exitCode != 0)
                QCOMPARE(run->firstErrorLine(), QStringLiteral("oops"));
        }
        reason = run ? QString() : run.reason();
    }
    QCOMPARE(reason, failure);
    // Nothing it started outlives it.
    const QByteArray child = readAll(pidFile).trimmed();
    if (!child.isEmpty())
        QTRY_VERIFY(processGone(child.toLongLong()));
}

// The image is opened once and checked on its descriptor: whatever its name
// names afterwards (a FIFO that would block, an endless device, another
// image), the helpers read the file that was checked.
void ImageTest::theCheckedFileIsRead_data()
{
    QTest::addColumn<QString>("swap");
    QTest::newRow("another image") << "image";
    QTest::newRow("a link to /dev/zero") << "zero";
    QTest::newRow("a FIFO") << "fifo";
}

void ImageTest::theCheckedFileIsRead()
{
    QFETCH(QString, swap);
    for (const QString &original : {m_floppy, m_disk}) {
        const QString path = m_dir.filePath(QStringLiteral("swapped.img"));
        const QString other = m_dir.filePath(QStringLiteral("other"));
        QFile::remove(path);
        QFile::remove(other);
        QVERIFY(QFile::copy(original, path));
        const Result<std::shared_ptr<ImageDrive>> drive = ImageDrive::open(path, 0);
        QVERIFY2(drive, qPrintable(drive.reason()));

        if (swap == QLatin1String("image")) {
            ScratchDrive different;
            different.write(QStringLiteral("CONFIG.SYS"), "REM another machine\r\n");
            QVERIFY(QFile::copy(m_floppy, other));
            QVERIFY(copyOnto(other, different.dir.path()));
        } else if (swap == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), other));
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(other).constData(), 0600), 0);
        }
        QCOMPARE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);

        const Result<QByteArray> config = (*drive)->readFile({QStringLiteral("CONFIG.SYS")});
        QVERIFY2(config, qPrintable(config.reason()));
        QCOMPARE(*config, QByteArray("DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\n"));
        QVERIFY((*drive)->fileExists({QStringLiteral("WINDOWS"), QStringLiteral("WIN.INI")}));
        QFile::remove(path);
    }
}

void ImageTest::directoryEntriesAsWindowsShowsThem_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("shortNames");
    QTest::newRow("short names") << shortEntry("CONFIG  SYS") + shortEntry("WINDOWS    ", 0x10) + shortEntry("README     ")
                                 << QStringList{"CONFIG.SYS", "WINDOWS", "README"} << QStringList{"CONFIG.SYS", "WINDOWS", "README"};
    QTest::newRow("lower case as Windows NT marks it")
        << shortEntry("NOTEPAD LNK", 0x20, 0x08) + shortEntry("AUTOEXECBAT", 0x20, 0x10) + shortEntry("WIN     INI", 0x20, 0x18)
        << QStringList{"notepad.LNK", "AUTOEXEC.bat", "win.ini"} << QStringList{"notepad.LNK", "AUTOEXEC.bat", "win.ini"};
    QTest::newRow("code page 850, and 0x05 for a first 0xE5")
        << shortEntry("F\x9dL        ") + shortEntry("\x05RE     TXT")
        << QStringList{u"FØL"_qs, u"ÕRE.TXT"_qs} << QStringList{u"FØL"_qs, u"ÕRE.TXT"_qs};
    QTest::newRow("long names, one of two parts")
        << longEntries(u"Start Menu"_qs, "STARTM~1   ") + shortEntry("STARTM~1   ", 0x10)
               + longEntries(u"Blå skjerm med et langt navn.scr"_qs, "BLSKJE~1SCR") + shortEntry("BLSKJE~1SCR")
        << QStringList{u"Start Menu"_qs, u"Blå skjerm med et langt navn.scr"_qs} << QStringList{"STARTM~1", "BLSKJE~1.SCR"};
    QTest::newRow("a long name whose checksum is another entry's")
        << longEntries(u"Start Menu"_qs, "STARTM~1   ", 1) + shortEntry("STARTM~1   ", 0x10)
        << QStringList{"STARTM~1"} << QStringList{"STARTM~1"};
    QTest::newRow("a long name whose short entry was deleted")
        << longEntries(u"Gone"_qs, "GONE       ") + shortEntry("\xE5ONE       ") + shortEntry("KEPT       ")
        << QStringList{"KEPT"} << QStringList{"KEPT"};
    QTest::newRow("label, dot entries, deleted ones and the end left out")
        << shortEntry("MASKIN     ", 0x08) + shortEntry(".          ", 0x10) + shortEntry("..         ", 0x10)
               + shortEntry("\xE5LD     TXT") + shortEntry("NEW     TXT") + QByteArray(32, '\0') + shortEntry("AFTER   TXT")
        << QStringList{"NEW.TXT"} << QStringList{"NEW.TXT"};
    QTest::newRow("a cut-off entry") << shortEntry("CONFIG  SYS") + QByteArray("AUTOEXEC") << QStringList{"CONFIG.SYS"}
                                     << QStringList{"CONFIG.SYS"};
}

void ImageTest::directoryEntriesAsWindowsShowsThem()
{
    QFETCH(QByteArray, directory);
    QFETCH(QStringList, names);
    QFETCH(QStringList, shortNames);
    const QList<FatEntry> entries = fatreader::directoryEntries(directory);
    QStringList seen, seenShort;
    for (const FatEntry &e : entries) {
        seen.append(e.name);
        seenShort.append(e.shortName);
        // Found by either name, in any case.
        QVERIFY(e.isNamed(e.name.toUpper()) && e.isNamed(e.shortName.toLower()));
    }
    QCOMPARE(seen, names);
    QCOMPARE(seenShort, shortNames);
}

// A damaged FAT (a chain that loops, breaks off or leaves the volume) is one
// line when the file or folder is read, never a hang or bytes read twice.
void ImageTest::damagedFatsAreOneLine_data()
{
    QTest::addColumn<QByteArray>("entry"); // the short name in the root directory that is damaged
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QString>("message");
    const QStringList config{QStringLiteral("CONFIG.SYS")};
    QTest::newRow("a chain onto itself") << QByteArray("CONFIG  SYS") << "loop" << config << "klyngekjeden går i ring";
    QTest::newRow("a chain back to its start, later") << QByteArray("CONFIG  SYS") << "late loop" << config << "klyngekjeden går i ring";
    QTest::newRow("a cluster past the volume") << QByteArray("CONFIG  SYS") << "beyond" << config
                                               << "klyngekjeden brytes ved klynge 4080";
    QTest::newRow("a free cluster in the chain") << QByteArray("CONFIG  SYS") << "free" << config
                                                 << "klyngekjeden brytes ved klynge 0";
    QTest::newRow("a first cluster past the volume") << QByteArray("CONFIG  SYS") << "starts beyond" << config
                                                     << "klyngekjeden brytes ved klynge 4080";
    QTest::newRow("shorter than its size") << QByteArray("CONFIG  SYS") << "short" << config
                                           << "filen er kortere enn størrelsen den oppgir";
    QTest::newRow("a folder's chain onto itself") << QByteArray("WINDOWS    ") << "loop"
                                                  << QStringList{QStringLiteral("WINDOWS"), QStringLiteral("WIN.INI")}
                                                  << "klyngekjeden går i ring";
}

void ImageTest::damagedFatsAreOneLine()
{
    QFETCH(QByteArray, entry);
    QFETCH(QString, damage);
    QFETCH(QStringList, path);
    QFETCH(QString, message);
    QByteArray image = readAll(m_floppy);
    // The floppy's root directory follows its boot sector and two FATs.
    const qsizetype root = qsizetype(le16At(image, 14) + 2 * le16At(image, 22)) * 512;
    qsizetype at = root;
    while (at < root + 224 * 32 && image.mid(at, 11) != entry)
        at += 32;
    QVERIFY(at < root + 224 * 32);
    const quint32 first = le16At(image, at + 26);
    const auto setSize = [&](quint32 size) {
        for (int i = 0; i < 4; ++i)
            image[at + 28 + i] = char(size >> (8 * i));
    };
    if (entry.startsWith("CONFIG"))
        setSize(8 * 512); // eight clusters
    if (damage == QLatin1String("loop")) {
        setFat12(image, first, first);
    } else if (damage == QLatin1String("late loop")) {
        // Through four free clusters and back: a turn too long to be seen
        // within the eight clusters read as it happens.
        setFat12(image, first, 2000);
        for (quint32 c = 2000; c < 2003; ++c)
            setFat12(image, c, c + 1);
        setFat12(image, 2003, first);
    } else if (damage == QLatin1String("beyond")) {
        setFat12(image, first, 0xFF0);
    } else if (damage == QLatin1String("free")) {
        setFat12(image, first, 0);
    } else if (damage == QLatin1String("starts beyond")) {
        image[at + 26] = char(0xF0);
        image[at + 27] = char(0x0F);
    } else if (damage == QLatin1String("short")) {
        setFat12(image, first, 0xFFF);
    }
    const QString damaged = m_dir.filePath(QStringLiteral("damaged.img"));
    writeAll(damaged, image);
    const Result<std::shared_ptr<ImageDrive>> drive = ImageDrive::open(damaged, 0);
    QVERIFY2(drive, qPrintable(drive.reason()));
    const Result<QByteArray> read = (*drive)->readFile(path);
    QVERIFY(!read);
    QCOMPARE(read.reason(), QStringLiteral("FAT-stasjonen er skadet: ") + message);
    QCOMPARE(read.kind(), FailureKind::DamagedImage);
    // The rest of the volume reads as before.
    QVERIFY((*drive)->fileExists({QStringLiteral("AUTOEXEC.BAT")}));
}

// "x.img@@0" is a file of that name, never x.img read from offset 0.
void ImageTest::atSignsAreNoOffset()
{
    const QString dir = m_dir.filePath(QStringLiteral("at"));
    QDir().mkpath(dir);
    QVERIFY(QFile::copy(m_floppy, dir + QStringLiteral("/x.img")));
    ScratchDrive other;
    other.write(QStringLiteral("CONFIG.SYS"), "REM the file with at-signs\r\n");
    const QString atSigns = dir + QStringLiteral("/x.img@@0");
    QVERIFY(QFile::copy(m_floppy, dir + QStringLiteral("/y.img")));
    QVERIFY(copyOnto(dir + QStringLiteral("/y.img"), other.dir.path())); // mcopy would take "@@0" as an offset
    QVERIFY(QFile::rename(dir + QStringLiteral("/y.img"), atSigns));
    const QJsonObject report = QJsonDocument::fromJson(reportOn(atSigns)).object();
    QCOMPARE(report.value(QLatin1String("config.sys")).toObject().value(QLatin1String("lines")).toArray().first().toString(),
             QStringLiteral("REM the file with at-signs"));
}

// DOS letters the FAT drives of a machine's disks: the boot partition of
// disk 1, the first primary of each further disk, the logical drives disk by
// disk, then the remaining primaries. Each disk: "w" a folder or bare
// volume, else "aN" the active primary, "pN" a primary, "lN" a logical drive.
void ImageTest::lettersAsDosGivesThem_data()
{
    QTest::addColumn<QStringList>("disks");
    QTest::addColumn<QString>("letters");
    QTest::newRow("a folder") << QStringList{QStringLiteral("w")} << "C=1:0";
    QTest::newRow("the active primary is C:") << QStringList{QStringLiteral("p1 a2")} << "C=1:2 D=1:1";
    QTest::newRow("none active: the first primary") << QStringList{QStringLiteral("p1 p2")} << "C=1:1 D=1:2";
    QTest::newRow("logical drives after the primaries' first")
        << QStringList{QStringLiteral("p1 l5 l6")} << "C=1:1 D=1:5 E=1:6";
    QTest::newRow("two disks, as FDISK letters them")
        << QStringList{QStringLiteral("a1 p2 l5 l6"), QStringLiteral("p1 l5")} << "C=1:1 D=2:1 E=1:5 F=1:6 G=2:5 H=1:2";
    QTest::newRow("a further disk's first primary, not its active one")
        << QStringList{QStringLiteral("w"), QStringLiteral("p1 a2")} << "C=1:0 D=2:1 E=2:2";
    QTest::newRow("a disk without FAT lends no letter") << QStringList{QStringLiteral(""), QStringLiteral("w")} << "C=2:0";
}

void ImageTest::lettersAsDosGivesThem()
{
    QFETCH(QStringList, disks);
    QFETCH(QString, letters);
    QList<machineletters::DiskLayout> layouts;
    for (const QString &disk : disks) {
        machineletters::DiskLayout layout;
        for (const QString &part : disk.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int number = part.mid(1).toInt();
            if (part == QLatin1String("w"))
                layout.whole = true;
            else if (part.startsWith(QLatin1Char('l')))
                layout.logicals.append(number);
            else
                layout.primaries.append(number);
            if (part.startsWith(QLatin1Char('a')))
                layout.active = number;
        }
        layouts.append(layout);
    }
    QStringList got;
    for (const auto &[letter, drive] : machineletters::letters(layouts))
        got.append(QStringLiteral("%1=%2:%3").arg(letter).arg(drive.first + 1).arg(drive.second));
    QCOMPARE(got.join(QLatin1Char(' ')), letters);
}

// A machine given as two disk images: disk 1 with a primary FAT drive and
// two logical drives, disk 2 with one primary. Each letter is checked
// through --check on a file placed on that drive; --drive wins over a letter.
void ImageTest::machineOfTwoDisks()
{
    const auto format = [](const QString &disk, qint64 sector, const QString &marker) {
        const QString volume = disk + QStringLiteral("@@") + QString::number(sector * 512);
        QTemporaryDir files;
        QFile f(files.filePath(marker));
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.close();
        return mtools(QStringLiteral("mformat"), {QStringLiteral("-i"), volume, QStringLiteral("-T"), QStringLiteral("32768"),
                                                  QStringLiteral("-h"), QStringLiteral("16"), QStringLiteral("-s"), QStringLiteral("32"),
                                                  QStringLiteral("::")})
               && copyOnto(volume, files.path());
    };
    const QString one = m_dir.filePath(QStringLiteral("disk1.img"));
    const QString two = m_dir.filePath(QStringLiteral("disk2.img"));
    {
        QFile f(one);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(mbr({partitionEntry(true, 0x06, 2048, 32768), partitionEntry(false, 0x0F, 34816, 71680)}));
        QVERIFY(f.seek(qint64(34816) * 512)); // first logical drive, link to the second record
        f.write(mbr({partitionEntry(false, 0x06, 2048, 32768), partitionEntry(false, 0x05, 34816, 36864)}));
        QVERIFY(f.seek(qint64(34816 + 34816) * 512));
        f.write(mbr({partitionEntry(false, 0x06, 2048, 32768)}));
        f.resize(qint64(34816 + 71680) * 512);
        QFile g(two);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(mbr({partitionEntry(true, 0x06, 2048, 32768)}));
        g.resize(qint64(2048 + 32768) * 512);
    }
    QVERIFY(format(one, 2048, QStringLiteral("C.TXT")));
    QVERIFY(format(one, 34816 + 2048, QStringLiteral("E.TXT")));
    QVERIFY(format(one, 34816 + 34816 + 2048, QStringLiteral("F.TXT")));
    QVERIFY(format(two, 2048, QStringLiteral("D.TXT")));
    for (const char letter : {'C', 'D', 'E', 'F'}) {
        const QString line = QStringLiteral("x=%1:\\%1.TXT").arg(QLatin1Char(letter));
        const Run run = vendral({one, two, QStringLiteral("--check"), line});
        QVERIFY2(run.exitCode == 0, qPrintable(line + QLatin1Char(' ') + QString::fromUtf8(run.out + run.err)));
    }
    // --drive names a letter and wins over the lettering.
    const Run over = vendral({one, two, QStringLiteral("--drive"), QStringLiteral("D=") + m_machine.dir.path(),
                              QStringLiteral("--check"), QStringLiteral("x=D:\\WINDOWS\\HIMEM.SYS")});
    QCOMPARE(over.exitCode, 0);
    // A chain that loops is one line.
    {
        QFile f(one);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(qint64(34816 + 34816) * 512));
        f.write(mbr({partitionEntry(false, 0x06, 2048, 32768), partitionEntry(false, 0x05, 0x8800, 36864)}));
    }
    const Run loop = vendral({one, two, QStringLiteral("--report")});
    QCOMPARE(loop.exitCode, 2);
    QCOMPARE(loop.err, QByteArray("vendral: den utvidede partisjonen i disk1.img peker tilbake på seg selv\n"));
}

// Images made by an adversary: each names a network address, a host file, a
// device or a FIFO, or would unpack into all memory. Each must end in one
// line (exit 2) under strace showing no connection and no read of anything
// outside the rule, with bounded memory. Bait lies in a folder beside the
// image's: a FIFO (a read would hang) and a raw image with other files.
void ImageTest::untrustedImages_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("message");
    if (QStandardPaths::findExecutable(QStringLiteral("qemu-img")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        QSKIP("qemu-img or strace is not installed");
    const QByteArray flat = readAll(m_floppy);
    const QByteArray sectors = QByteArray::number(flat.size() / 512);
    const auto vmdk = [&](const QByteArray &extents, const QByteArray &extra) {
        return Files{{QStringLiteral("disk-flat.img"), flat},
                     {QStringLiteral("x.vmdk"), "# Disk DescriptorFile\nversion=1\nCID=12345678\nparentCID=ffffffff\n"
                                                "createType=\"monolithicFlat\"\n\n# Extent description\n"
                                                + extents + extra + "\n"}};
    };
    const QByteArray extent = "RW " + sectors + " FLAT \"disk-flat.img\" 0\n";
    const QString unknown = QStringLiteral("linje %1 i VMDK-beskrivelsen til x.vmdk er ukjent");

    Files renamed = vmdk(extent, " parentFileNameHint=\"nbd://127.0.0.1:10809/x\"");
    renamed.insert(QStringLiteral("win98.img"), renamed.take(QStringLiteral("x.vmdk")));
    QTest::newRow("vmdk hint with a leading space, as win98.img")
        << renamed << "win98.img" << QStringLiteral("win98.img nevner «nbd://127.0.0.1:10809/x» som foreldrebilde");
    QTest::newRow("vmdk hint in a comment") << vmdk(extent, "#parentFileNameHint=\"http://127.0.0.1:9/x\"")
                                            << "x.vmdk" << unknown.arg(9);
    QTest::newRow("vmdk hint as json") << vmdk(extent, "parentFileNameHint=\"json:{'driver':'file','filename':'/etc/shadow'}\"")
                                       << "x.vmdk" << QStringLiteral("x.vmdk nevner «json:");
    QTest::newRow("vmdk hint to a FIFO") << vmdk(extent, "parentFileNameHint=\"../outside/fifo\"") << "x.vmdk"
                                         << QStringLiteral("foreldrebildet til x.vmdk kan ikke leses:");
    QTest::newRow("vmdk hint to a device") << vmdk(extent, "parentFileNameHint=\"/dev/zero\"") << "x.vmdk"
                                           << QStringLiteral("x.vmdk nevner /dev/zero som foreldrebilde, og i /dev");
    QTest::newRow("vmdk hint to a raw file elsewhere") << vmdk(extent, "parentFileNameHint=\"../outside/secret.img\"")
                                                       << "x.vmdk" << QStringLiteral("x.vmdk nevner ");
    QTest::newRow("vmdk extent size with a sign") << vmdk("RW +" + sectors + " FLAT \"disk-flat.img\" 0\n", "")
                                                  << "x.vmdk" << unknown.arg(8);
    QTest::newRow("vmdk flat extent outside") << vmdk(extent + "RW 8 FLAT \"/etc/passwd\" 0\n", "") << "x.vmdk"
                                              << QStringLiteral("x.vmdk nevner /etc/passwd som en del av seg utenfor");
    QTest::newRow("vmdk flat extent a FIFO") << vmdk(extent + "RW 8 FLAT \"../outside/fifo\" 0\n", "") << "x.vmdk"
                                             << QStringLiteral("en del av x.vmdk kan ikke leses:");

    const auto qcow2 = [this](const QStringList &options) {
        const QString image = m_dir.filePath(QStringLiteral("crafted.qcow2"));
        QFile::remove(image);
        qemuImg(QStringList{QStringLiteral("create"), QStringLiteral("-f"), QStringLiteral("qcow2")} + options
                + QStringList{image, QStringLiteral("1440K")});
        return readAll(image);
    };
    QTest::newRow("qcow2 external data file")
        << Files{{QStringLiteral("x.qcow2"), qcow2({QStringLiteral("-o"), QStringLiteral("data_file=") + m_dir.filePath(QStringLiteral("data.raw"))})}}
        << "x.qcow2" << QStringLiteral("x.qcow2 bruker en ekstern datafil");
    QTest::newRow("qcow2 raw parent among host files")
        << Files{{QStringLiteral("x.qcow2"), qcow2({QStringLiteral("-u"), QStringLiteral("-b"), QStringLiteral("/etc/services"),
                                                   QStringLiteral("-F"), QStringLiteral("raw")})}}
        << "x.qcow2" << QStringLiteral("x.qcow2 nevner /etc/services som foreldrebilde utenfor");
    QTest::newRow("qcow2 parent at a network address")
        << Files{{QStringLiteral("x.qcow2"), qcow2({QStringLiteral("-u"), QStringLiteral("-b"), QStringLiteral("nbd://127.0.0.1:10809/x"),
                                                   QStringLiteral("-F"), QStringLiteral("raw")})}}
        << "x.qcow2" << QStringLiteral("x.qcow2 nevner «nbd://127.0.0.1:10809/x»");
    {
        // Every cluster of the disk taken from one cluster of the file.
        const QString converted = m_dir.filePath(QStringLiteral("alias.qcow2"));
        QFile::remove(converted);
        qemuImg({QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("raw"), QStringLiteral("-O"),
                 QStringLiteral("qcow2"), m_floppy, converted});
        QByteArray bytes = readAll(converted);
        const qsizetype l2 = qsizetype(be(bytes, qsizetype(be(bytes, 40, 8)), 8) & 0x00fffffffffffe00ULL);
        for (int i = 1; i < 23; ++i)
            bytes.replace(l2 + 8 * i, 8, bytes.mid(l2, 8));
        QTest::newRow("qcow2 clusters aliased") << Files{{QStringLiteral("x.qcow2"), bytes}} << "x.qcow2"
                                                << QStringLiteral("x.qcow2 er et QCOW2-bilde der to deler av disken");
    }
    {
        // A terabyte whose every block is one block of the file, its sectors
        // alternating between the child and the parent: without a bound, a
        // map of a billion pieces.
        const QString parent = m_dir.filePath(QStringLiteral("terabyte.vhd"));
        QFile::remove(parent);
        qemuImg({QStringLiteral("create"), QStringLiteral("-f"), QStringLiteral("vpc"), parent, QStringLiteral("1T")});
        const QByteArray parentBytes = readAll(parent);
        QByteArray child = differencingVhd(parentBytes.left(512), QStringLiteral("parent.vhd"), QByteArray(), QByteArray());
        const QByteArray footer = child.right(512);
        child.chop(512);
        const quint64 block = quint64(child.size() / 512);
        child += QByteArray(512, '\x55') + QByteArray(2 << 20, '\0') + footer;
        const qsizetype table = 1536;
        const quint64 entries = be(child, 512 + 28, 4);
        for (quint64 b = 0; b < entries; ++b)
            putBe(child, table + qsizetype(b) * 4, block, 4);
        QTest::newRow("differencing vhd, one block for a terabyte")
            << Files{{QStringLiteral("x.vhd"), child}, {QStringLiteral("parent.vhd"), parentBytes}} << "x.vhd"
            << QStringLiteral("x.vhd er et differanse-VHD-bilde som er for oppstykket");
    }
}

void ImageTest::untrustedImages()
{
    QFETCH(Files, files);
    QFETCH(QString, image);
    QFETCH(QString, message);
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("case"));
    const QString outside = root.filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(folder) && QDir().mkpath(outside));
    QVERIFY(QFile::copy(m_floppy, outside + QStringLiteral("/secret.img")));
    QCOMPARE(::mkfifo(QFile::encodeName(outside + QStringLiteral("/fifo")).constData(), 0600), 0);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeAll(folder + QLatin1Char('/') + it.key(), it.value());

    const QString log = root.filePath(QStringLiteral("trace"));
    const MeasuredRun run = runMeasured(
        {"strace", "-f", "-qq", "-y", "-o", QFile::encodeName(log), "-e", "trace=%file,%desc,%network",
         qgetenv("VENDRAL_BINARY"), "--drive", "C=" + QFile::encodeName(folder + QLatin1Char('/') + image), "--report"},
        {"ASAN_OPTIONS=detect_leaks=0"}, qint64(16) << 30); // the leak checker cannot run under ptrace
    QVERIFY2(run.exitCode == 2, run.err.constData());
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(QString::fromUtf8(run.err).startsWith(QStringLiteral("vendral: ") + message), run.err.constData());
    QVERIFY2(kSanitized || run.peakKb < 384 * 1024, qPrintable(QStringLiteral("peak %1 KiB").arg(run.peakKb)));

    // No connection, and nothing outside the rule opened by name or read: a
    // name may be looked at (O_PATH), and one sector read through the
    // pinned descriptor to tell whether it is an image, nothing more.
    const QString bait = QStringLiteral("(/etc/passwd|/etc/shadow|/etc/services|/dev/zero|%1/)")
                             .arg(QRegularExpression::escape(QFileInfo(outside).canonicalFilePath()));
    const QRegularExpression opened(QStringLiteral("\\b(open|openat|openat2|creat)\\(.*\"%1").arg(bait));
    const QRegularExpression read(
        QStringLiteral("\\b(read|pread64|readv|preadv2?|mmap|sendfile|copy_file_range)\\(.*<%1").arg(bait));
    for (const QString &call : tracedCalls(log)) {
        QVERIFY2(!call.contains(QLatin1String(" connect(")), qPrintable(call));
        QVERIFY2(!opened.match(call).hasMatch() || call.contains(QLatin1String("O_PATH")), qPrintable(call));
        QVERIFY2(!read.match(call).hasMatch() || call.contains(QRegularExpression(QStringLiteral("^\\d+\\s+pread64\\(.*, 512, \\d+\\) ="))),
                 qPrintable(call));
    }
}

// A helper (here a qemu-img that never ends) goes when the program goes,
// whichever way it is ended.
void ImageTest::helpersDieWithTheProgram_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void ImageTest::helpersDieWithTheProgram()
{
    QFETCH(int, signal);
    QTemporaryDir bin;
    const QString pidFile = bin.filePath(QStringLiteral("helper.pid"));
    QVERIFY(!script(bin.path(), QStringLiteral("qemu-img"), "echo $$ > \"$PIDFILE\"\nexec sleep 1000").isEmpty());
    const QString image = m_dir.filePath(QStringLiteral("hang.vdi")); // only QEMU reads a VDI
    QFile::remove(image);
    QVERIFY(qemuImg({QStringLiteral("create"), QStringLiteral("-f"), QStringLiteral("vdi"), image, QStringLiteral("1M")}));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), bin.path() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("PIDFILE"), pidFile);
    program.setProcessEnvironment(env);
    program.start(qEnvironmentVariable("VENDRAL_BINARY"), {QStringLiteral("--drive"), QStringLiteral("C=") + image,
                                                           QStringLiteral("--report")});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!readAll(pidFile).trimmed().isEmpty(), 20000);
    const qint64 helper = readAll(pidFile).trimmed().toLongLong();
    QVERIFY(helper > 0 && !processGone(helper));
    ::kill(pid_t(program.processId()), signal);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::CrashExit); // ended by the signal, as it would have been
    QTRY_VERIFY_WITH_TIMEOUT(processGone(helper), 10000);
}

QTEST_GUILESS_MAIN(ImageTest)
#include "tst_image.moc"
