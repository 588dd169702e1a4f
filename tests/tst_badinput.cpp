// Each of the five start-up files broken in every way a disk can break it:
// the load neither crashes nor hangs, a failure names the file and the
// reason, and what was loaded before stays.
#include "loading/failure.h"
#include "guitest.h"
#include "loading/loadsequence.h"
#include "testhelpers.h"

#include <QCheckBox>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct StartupFile
{
    const char *host;   // on the scratch drive
    const char *dos;    // as the failure report names it
};

const StartupFile kFiles[] = {
    {"CONFIG.SYS", "C:\\CONFIG.SYS"},
    {"AUTOEXEC.BAT", "C:\\AUTOEXEC.BAT"},
    {"MSDOS.SYS", "C:\\MSDOS.SYS"},
    {"WINDOWS/WIN.INI", "C:\\WINDOWS\\WIN.INI"},
    {"WINDOWS/SYSTEM.INI", "C:\\WINDOWS\\SYSTEM.INI"},
};

const LineList &listOf(const ConfigState &s, int file)
{
    switch (file) {
    case 0: return s.ConfigMemo;
    case 1: return s.AutoMemo;
    case 2: return s.msdosmemo;
    case 3: return s.Wininimemo;
    default: return s.systeminimemo;
    }
}

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
    for (int f = 0; f < 5; ++f) {
        for (const auto &[how, reason] : cases)
            QTest::addRow("%s, %s", kFiles[f].host, how) << f << QString::fromLatin1(how) << QString::fromUtf8(reason);
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

    QVERIFY(breakFile(c, QString::fromLatin1(kFiles[file].host), how));
    try {
        LoadSequence(s, c.drives).HentKnappClick();
        QFAIL("the load should fail");
    } catch (const FileError &e) {
        QCOMPARE(e.message(), QStringLiteral("Kan ikke lese %1: %2.").arg(QLatin1String(kFiles[file].dos), reason));
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
    for (int f = 0; f < 5; ++f) {
        for (const auto &[name, bytes, lines] : cases)
            QTest::addRow("%s, %s", kFiles[f].host, name) << f << bytes << lines;
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
    c.write(QString::fromLatin1(kFiles[file].host), bytes);
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
    if (file == 2) // the MSDOS.SYS reader may stop at a third section
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

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
