// Windows-1252 decoding, upper-casing and line splitting.
#include "drives/ansitext.h"
#include "loading/failure.h"
#include "loading/linelist.h"
#include "loading/linereader.h"

#include <QSignalSpy>
#include <QAbstractItemModelTester>
#include <QTest>

#include <climits>

class TextTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesEveryByteToOneCharacter_data();
    void decodesEveryByteToOneCharacter();
    void everyByteSurvivesARoundTrip();
    void charactersOutsideTheCodePageBecomeQuestionMarks();
    void upperCasing_data();
    void upperCasing();
    void upperCasingKeepsTheLength();
    void splitsLines_data();
    void splitsLines();
    void lineListIndexErrors();
    void programSelectionIsNotAUserChange();
    void replacedLinesKeepTheirIndex();
};

void TextTest::decodesEveryByteToOneCharacter_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("WinDir=C:\\") << QStringLiteral("WinDir=C:\\");
    QTest::newRow("norwegian") << QByteArray("\xe6\xf8\xe5\xc6\xd8\xc5") << QStringLiteral(u"æøåÆØÅ");
    QTest::newRow("euro") << QByteArray("\x80") << QStringLiteral(u"€");
    QTest::newRow("undefined") << QByteArray("\x81\x8d\x8f\x90\x9d")
                               << QStringLiteral(u"\u0081\u008d\u008f\u0090\u009d");
    QTest::newRow("dash and quotes") << QByteArray("\x96\x93\x94") << QStringLiteral(u"–“”");
    QTest::newRow("nul stays") << QByteArray("a\0b", 3) << QString(QStringLiteral(u"a\u0000b"));
}

void TextTest::decodesEveryByteToOneCharacter()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(ansi::decode(bytes), text);
}

void TextTest::everyByteSurvivesARoundTrip()
{
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    const QString text = ansi::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(ansi::encode(text), all);
}

void TextTest::charactersOutsideTheCodePageBecomeQuestionMarks()
{
    QCOMPARE(ansi::encode(QStringLiteral(u"a\u4e2db\u0100")), QByteArray("a?b?"));
}

void TextTest::upperCasing_data()
{
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("ascii") << QByteArray("winDir=c:\\windows") << QByteArray("WINDIR=C:\\WINDOWS");
    QTest::newRow("norwegian") << QByteArray("\xe6\xf8\xe5") << QByteArray("\xc6\xd8\xc5");
    QTest::newRow("division sign stays") << QByteArray("\xf7") << QByteArray("\xf7");
    QTest::newRow("sharp s stays") << QByteArray("stra\xdf" "e") << QByteArray("STRA\xdf" "E");
    QTest::newRow("micro stays") << QByteArray("\xb5") << QByteArray("\xb5");
    QTest::newRow("s z oe caron") << QByteArray("\x9a\x9c\x9e") << QByteArray("\x8a\x8c\x8e");
    QTest::newRow("y diaeresis") << QByteArray("\xff") << QByteArray("\x9f");
    QTest::newRow("capitals stay") << QByteArray("\xc0\xde\x8a") << QByteArray("\xc0\xde\x8a");
    QTest::newRow("digits and marks") << QByteArray("[Paths] ;1=2") << QByteArray("[PATHS] ;1=2");
}

void TextTest::upperCasing()
{
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QCOMPARE(ansi::upper(in), out);
}

void TextTest::upperCasingKeepsTheLength()
{
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    const QByteArray upper = ansi::upper(all);
    QCOMPARE(upper.size(), all.size());
    // Upper-casing twice changes nothing more.
    QCOMPARE(ansi::upper(upper), upper);
}

void TextTest::splitsLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QList<QByteArray>{"a", "b"};
    QTest::newRow("lf") << QByteArray("a\nb\n") << QList<QByteArray>{"a", "b"};
    QTest::newRow("lone cr") << QByteArray("a\rb\r") << QList<QByteArray>{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << QList<QByteArray>{"a", "b", "c", "d"};
    QTest::newRow("last line without break") << QByteArray("a\r\nb") << QList<QByteArray>{"a", "b"};
    QTest::newRow("empty lines") << QByteArray("\r\n\n\r") << QList<QByteArray>{"", "", ""};
    QTest::newRow("lf cr is two breaks") << QByteArray("a\n\rb") << QList<QByteArray>{"a", "", "b"};
    QTest::newRow("only a break") << QByteArray("\r\n") << QList<QByteArray>{""};
    QTest::newRow("breaks around 16-byte blocks")
        << QByteArray("0123456789abcde\r0123456789abcdef\r\n0123456789abcdefg\n" "0123456789abcdef0123456789abcdef\r")
        << QList<QByteArray>{"0123456789abcde", "0123456789abcdef", "0123456789abcdefg",
                             "0123456789abcdef0123456789abcdef"};
    QTest::newRow("crlf split by a block edge") << QByteArray("0123456789abcde\r\nX")
                                                << QList<QByteArray>{"0123456789abcde", "X"};
    QTest::newRow("bytes as they are") << QByteArray("x\0y\x1a\t \r\n", 8)
                                       << QList<QByteArray>{QByteArray("x\0y\x1a\t ", 6)};
}

void TextTest::splitsLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, lines);

    QList<QByteArray> read;
    LineReader reader(text);
    while (!reader.atEnd())
        read.append(reader.readLine());
    QCOMPARE(read, lines);
    QCOMPARE(reader.readLine(), QByteArray()); // at the end: an empty line

    LineList list;
    // The model's contract with its views is checked at every change.
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.append("old");
    list.replaceWithText(text);
    QCOMPARE(list.count(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(list.line(i), lines[i]);
}

void TextTest::lineListIndexErrors()
{
    LineList list;
    list.replaceWithText("a\nb\n");
    QVERIFY_THROWS_EXCEPTION(IndexError, list.line(2));
    QVERIFY_THROWS_EXCEPTION(IndexError, list.line(-1));
    QVERIFY_THROWS_EXCEPTION(IndexError, list.setLine(2, "x"));
    QVERIFY_THROWS_EXCEPTION(IndexError, list.selectedLine());
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.line(1), QByteArray("b"));
}

void TextTest::programSelectionIsNotAUserChange()
{
    LineList list;
    list.replaceWithText("a\nb\nc\n");
    QSignalSpy user(&list, &LineList::selectionChangedByUser);
    QSignalSpy scroll(&list, &LineList::selectionSetByProgram);
    list.setSelectedIndex(2);
    QCOMPARE(list.selectedIndex(), 2);
    QCOMPARE(scroll.count(), 1);
    list.replaceWithText("x\n");
    QCOMPARE(list.selectedIndex(), -1);
    QCOMPARE(user.count(), 0);
    // A change made through the selection model (as a view does) is the user's.
    list.selectionModel()->select(list.index(0), QItemSelectionModel::ClearAndSelect);
    QCOMPARE(user.count(), 1);
    QCOMPARE(list.selectedIndex(), 0);
}

void TextTest::replacedLinesKeepTheirIndex()
{
    LineList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.replaceWithText("one\r\ntwo\r\nthree");
    list.setLine(1, "a much longer second line");
    list.setLine(0, "1");
    for (int i = 0; i < 2000; ++i) // enough dead text to pack the buffer
        list.setLine(2, QByteArray(i % 50 + 10, 'x'));
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.line(0), QByteArray("1"));
    QCOMPARE(list.line(1), QByteArray("a much longer second line"));
    QCOMPARE(list.line(2), QByteArray(1999 % 50 + 10, 'x'));
    QVERIFY(list.bytesHeld() < 100000);
    list.extraRolesChanged(0, 2, {Qt::ForegroundRole});
    list.extraRolesChanged(INT_MAX, -1, {Qt::ForegroundRole}); // nothing marked: no signal
    list.clear();
    QCOMPARE(list.count(), 0);
}

QTEST_GUILESS_MAIN(TextTest)
#include "tst_text.moc"
