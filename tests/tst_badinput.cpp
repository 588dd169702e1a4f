// Each of the five start-up files broken in every way a disk can break it:
// the load neither crashes nor hangs, a failure names the file and the
// reason, and what was loaded before stays.
#include "guitest.h"
#include "loading/failure.h"
#include "loading/loadsequence.h"
#include "loading/startupfiles.h"
#include "testhelpers.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the scratch machine keeps a start-up file (its WinDir is C:\WINDOWS),
// and how the failure report names it.
QByteArray dosPathOf(int file)
{
    ConfigState machine;
    machine.WD = "C:\\WINDOWS";
    return startupfiles::all[size_t(file)]->dosPath(machine);
}

QString hostPathOf(int file)
{
    return QString::fromLatin1(dosPathOf(file).sliced(3)).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

const LineList &listOf(const ConfigState &s, int file)
{
    return s.*startupfiles::all[size_t(file)]->lines;
}

bool isMsDosSys(int file) { return startupfiles::all[size_t(file)] == &startupfiles::msdosSys; }

QByteArray noise(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 12345;
    for (char &b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

// Puts the broken thing where the file was; false when this host cannot.
bool breakFile(const ScratchDrive &c, const QString &relative, const QString &how)
{
    const QString path = c.hostPath(relative);
    const QByteArray native = QFile::encodeName(path);
    QFile::remove(path);
    if (how == QLatin1String("missing"))
        return true;
    if (how == QLatin1String("directory"))
        return QDir().mkpath(path);
    if (how == QLatin1String("fifo"))
        return mkfifo(native.constData(), 0644) == 0;
    if (how == QLatin1String("symlink loop"))
        return symlink(native.constData(), native.constData()) == 0;
    if (how == QLatin1String("no read permission")) {
        c.write(relative, "[x]\r\n");
        return QFile::setPermissions(path, QFileDevice::WriteOwner);
    }
    return false;
}

} // namespace

class BadInputTest : public QObject
{
    Q_OBJECT

private slots:
    void unreadableFilesFailClearly_data();
    void unreadableFilesFailClearly();
    void oddContentsLoadAsBytes_data();
    void oddContentsLoadAsBytes();
    void aFifoAtStartDoesNotHangTheWindow();
    void largeFilesNeverEndTheReport_data();
    void largeFilesNeverEndTheReport();
};

void BadInputTest::unreadableFilesFailClearly_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    const std::pair<const char *, const char *> cases[] = {
        {"missing", "filen finnes ikke"},
        {"directory", "det er en mappe, ikke en fil"},
        {"fifo", "det er ikke en vanlig fil"},
        {"symlink loop", "symbolske lenker går i ring"},
        {"no read permission", "ingen lesetilgang"},
    };
    for (int f = 0; f < int(startupfiles::all.size()); ++f) {
        if (!startupfiles::all[size_t(f)]->isOneFile())
            continue; // the start-up page's sources have tests of their own
        for (const auto &[how, reason] : cases)
            QTest::addRow("%s, %s", startupfiles::all[size_t(f)]->key, how) << f << QString::fromLatin1(how) << QString::fromUtf8(reason);
    }
}

void BadInputTest::unreadableFilesFailClearly()
{
    QFETCH(int, file);
    QFETCH(QString, how);
    QFETCH(QString, reason);
    if (how == QLatin1String("no read permission") && geteuid() == 0)
        QSKIP("running as root, which may read any file: no permission case to test");
    ScratchDrive c;
    c.writeMachine();
    ConfigState s;
    LoadSequence(s, c.drives).HentKnappClick();
    const QList<QByteArray> before = linesOf(listOf(s, file));
    QVERIFY(!before.isEmpty());

    QVERIFY(breakFile(c, hostPathOf(file), how));
    try {
        LoadSequence(s, c.drives).HentKnappClick();
        QFAIL("the load should fail");
    } catch (const FileError &e) {
        QCOMPARE(e.message(), QStringLiteral("Kan ikke lese %1: %2.").arg(QLatin1String(dosPathOf(file)), reason));
    }
    // The file's own list keeps what the load before it showed.
    QCOMPARE(linesOf(listOf(s, file)), before);
}

void BadInputTest::oddContentsLoadAsBytes_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lines");
    const std::tuple<const char *, QByteArray, int> cases[] = {
        {"empty", QByteArray(), 0},
        {"nul bytes", QByteArray("a\0b\r\n\0\r\n", 7), 2},
        {"20 MB line", QByteArray(20 * 1024 * 1024, 'x'), 1},
        {"random binary", noise(64 * 1024), -1},
        {"lone cr", QByteArray("[a]\rb\r"), 2},
        {"mixed breaks", QByteArray("a\rb\nc\r\nd\n\re"), 6},
        {"ctrl-z end mark", QByteArray("a\r\nb\r\n\x1a"), 3},
    };
    for (int f = 0; f < int(startupfiles::all.size()); ++f) {
        if (!startupfiles::all[size_t(f)]->isOneFile())
            continue;
        for (const auto &[name, bytes, lines] : cases)
            QTest::addRow("%s, %s", startupfiles::all[size_t(f)]->key, name) << f << bytes << lines;
    }
}

void BadInputTest::oddContentsLoadAsBytes()
{
    QFETCH(int, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, lines);
    ScratchDrive c;
    c.writeMachine();
    ConfigState s;
    LoadSequence(s, c.drives).HentKnappClick();
    c.write(hostPathOf(file), bytes);
    // WinDir keeps the value of the first load when MSDOS.SYS names none,
    // so the INI files are still found.
    LoadSequence(s, c.drives).HentKnappClick();

    QList<QByteArray> expected;
    LineReader reader(bytes);
    while (!reader.atEnd())
        expected.append(reader.readLine());
    if (lines >= 0)
        QCOMPARE(expected.size(), lines);
    const QList<QByteArray> shown = linesOf(listOf(s, file));
    if (isMsDosSys(file)) // the MSDOS.SYS reader may stop at a third section
        QCOMPARE(shown, expected.mid(0, shown.size()));
    else
        QCOMPARE(shown, expected);
    // Nothing but the line breaks is dropped.
    QByteArray joined;
    for (const QByteArray &line : expected)
        joined += line;
    QCOMPARE(joined, QByteArray(bytes).replace('\r', "").replace('\n', ""));
}

void BadInputTest::aFifoAtStartDoesNotHangTheWindow()
{
    ScratchDrive c;
    c.writeMachine();
    QVERIFY(breakFile(c, QStringLiteral("MSDOS.SYS"), QStringLiteral("fifo")));
    FailureRecorder failures;
    Windows w(c.drives);
    QVERIFY(w.show());
    QCOMPARE(failures.messages, QStringList{QStringLiteral("Kan ikke lese C:\\MSDOS.SYS: det er ikke en vanlig fil.")});
    QCOMPARE(w.list("ConfigMemo")->model()->rowCount(), 2);
    // Put a file back and load again: the window works on.
    c.remove(QStringLiteral("MSDOS.SYS"));
    c.write(QStringLiteral("MSDOS.SYS"), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n");
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QCOMPARE(failures.messages.size(), 1);
    QCOMPARE(w.list("msdosmemo")->model()->rowCount(), 2);
}

void BadInputTest::largeFilesNeverEndTheReport_data()
{
    QTest::addColumn<bool>("manyLines");  // else one sparse run of zeros
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("limitMb");     // the address space the report may take
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::newRow("2.8 million lines: the report is written as it goes")
        << true << qint64(0) << 400 << 0 << QString();
    QTest::newRow("more than memory holds: refused by name and size")
        << false << qint64(250) * 1024 * 1024 << 300 << 1
        << QStringLiteral("Kan ikke lese C:\\WINDOWS\\WIN.INI: filen er for stor til å holdes i minnet (262144000 byte).");
}

void BadInputTest::largeFilesNeverEndTheReport()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer reserves more address space than any limit here");
#endif
    QFETCH(bool, manyLines);
    QFETCH(qint64, size);
    QFETCH(int, limitMb);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    ScratchDrive c;
    c.writeMachine();
    QFile ini(c.hostPath(QStringLiteral("WINDOWS/WIN.INI")));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (manyLines) {
        QByteArray block;
        for (int i = 0; i < 100000; ++i)
            block += "key" + QByteArray::number(i).rightJustified(7, '0') + "=C:\\WINDOWS\\X.DLL\r\n";
        for (int i = 0; i < 28; ++i)
            ini.write(block);
    } else {
        QVERIFY(ini.resize(size));
    }
    ini.close();

    QProcess process;
    const rlim_t limit = rlim_t(limitMb) * 1024 * 1024;
    process.setChildProcessModifier([limit] {
        const rlimit as{limit, limit};
        ::setrlimit(RLIMIT_AS, &as);
    });
    process.start(qEnvironmentVariable("VENDRAL_BINARY"),
                  {QStringLiteral("--drive=C=") + c.dir.path(), QStringLiteral("--report")});
    QVERIFY(process.waitForStarted());
    // Read as it comes, so a large report does not fill the pipe.
    QByteArray out;
    while (process.state() != QProcess::NotRunning && process.waitForReadyRead(60000))
        out += process.readAllStandardOutput();
    process.waitForFinished(60000);
    out += process.readAllStandardOutput();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QJsonObject report = QJsonDocument::fromJson(out).object();
    QVERIFY(!report.isEmpty());
    QCOMPARE(report.value(QLatin1String("error")).toString(), error);
}

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
