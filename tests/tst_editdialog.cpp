// The edit dialog and the routing of double-clicked lines, through real widgets.
#include "drives/ansitext.h"
#include "guitest.h"
#include "testhelpers.h"

#include <QAccessible>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>

namespace {

const char *const kFullLists[] = {"msdosmemo", "ConfigMemo", "AutoMemo", "Wininimemo", "systeminimemo"};
const char *const kAllLists[] = {"msdosmemo", "msdoslist", "ConfigMemo", "AutoMemo", "Wininimemo",
                                 "WinIniList", "systeminimemo", "systeminilist"};
const char *const kPages[] = {"TabSheet3", "TabSheet4", "TabSheet5", "TabSheet6", "TabSheet7"};

} // namespace

class EditDialogTest : public QObject, public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogLayout();
    void showingSelectsTheValue_data();
    void showingSelectsTheValue();
    void fixReplacesFromTheOriginal_data();
    void fixReplacesFromTheOriginal();
    void checkButtonNeedsADot();
    void acceptedEditReplacesOnlyThatLine_data();
    void acceptedEditReplacesOnlyThatLine();
    void aCharacterTheFileCannotHoldIsRefused_data();
    void aCharacterTheFileCannotHoldIsRefused();
    void aLongCheckMessageKeepsItsVerdict();
    void theCheckResultIsAnnounced();
    void cancelledEditChangesNothing_data();
    void cancelledEditChangesNothing();
    void enterAfterACheck();
    void enterPressesOkAtEveryShowing_data();
    void enterPressesOkAtEveryShowing();
    void typingAfterAFoundProgramDisablesRun();
    void runStartsTheFileThatWasChecked();
    void editedHeaderStaysInTheSectionList();
    void optionLinesJumpToTheirBox_data();
    void optionLinesJumpToTheirBox();
    void otherMsDosLinesOpenTheDialog();
    void doubleClickBelowTheLines_data();
    void doubleClickBelowTheLines();
    void typicalRoad();

private:
    // Shows the dialog for a line as the routing does, runs `inside`, and
    // returns the dialog's result.
    int showDialogFor(const QByteArray &line, std::function<void(QDialog *)> inside)
    {
        TEndreForm *d = m_windows->dialog;
        d->setOriginalText(line);
        d->setNyText(line);
        whileModal(std::move(inside));
        return d->exec();
    }
    QLineEdit *ny() const { return m_windows->dialogChild<QLineEdit>("ny"); }
    QPushButton *button(const char *name) const { return m_windows->dialogChild<QPushButton>(name); }
    QLabel *label(const char *name) const { return m_windows->dialogChild<QLabel>(name); }
};

void EditDialogTest::init()
{
    setUpFixture();
    m_drive->write(QStringLiteral("WINDOWS/EMM386.EXE"), "x");
    m_drive->write(QStringLiteral("WINDOWS/HIMEM.SYS"), "x");
    m_drive->write(QStringLiteral("WINDOWS/NOTEPAD.EXE"), "x");
}

void EditDialogTest::cleanup()
{
    tearDownFixture();
}

void EditDialogTest::dialogLayout()
{
    start();
    showDialogFor("FILES=40", [this](QDialog *d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Endre innstilling"));
        QCOMPARE(d->size(), QSize(430, 165));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QCOMPARE(button("BitBtn1")->text(), QStringLiteral("O&k"));
        QVERIFY(button("BitBtn1")->isDefault());
        QCOMPARE(m_windows->dialogChild<QLineEdit>("original")->text(), QStringLiteral("FILES=40"));
        QVERIFY(m_windows->dialogChild<QLineEdit>("original")->isReadOnly());
        QVERIFY(!label("fins")->isVisible());
        QVERIFY(!label("ok")->isVisible());
        QVERIFY(!button("RunKnapp")->isEnabled());
        QVERIFY(!button("sjekkknapp")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), ny());
        // Centred on the screen.
        const QPoint centre = d->screen()->availableGeometry().center();
        QVERIFY((d->frameGeometry().center() - centre).manhattanLength() <= 2);
    });
}

void EditDialogTest::showingSelectsTheValue_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("start");
    QTest::newRow("after the first equals sign") << QByteArray("DEVICE=C:\\WINDOWS\\HIMEM.SYS")
                                                 << QStringLiteral("C:\\WINDOWS\\HIMEM.SYS") << 7;
    QTest::newRow("two equals signs") << QByteArray("a=b=c") << QStringLiteral("b=c") << 2;
    QTest::newRow("no equals sign: all") << QByteArray("@ECHO OFF") << QStringLiteral("@ECHO OFF") << 0;
    QTest::newRow("header") << QByteArray("[boot]") << QStringLiteral("[boot]") << 0;
    QTest::newRow("equals sign at the end") << QByteArray("load=") << QString() << -1;
    const QByteArray path = "C:\\" + QByteArray("LONGDIR\\").repeated(30) + "DRIVER.SYS";
    QTest::newRow("longer than the field") << "DEVICE=" + path << QString::fromLatin1(path) << 7;
}

void EditDialogTest::showingSelectsTheValue()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, selected);
    QFETCH(int, start);
    this->start();
    showDialogFor(line, [&](QDialog *) {
        QCOMPARE(ny()->cursorPosition(), int(line.size()));
        QCOMPARE(ny()->selectedText(), selected);
        QCOMPARE(ny()->selectionStart(), start);
        QVERIFY(ny()->hasFocus());
        // The read-only original shows the line from its beginning.
        auto *original = m_windows->dialogChild<QLineEdit>("original");
        QCOMPARE(original->cursorPositionAt(QPoint(original->contentsRect().left() + 4, original->height() / 2)), 0);
    });
}

void EditDialogTest::fixReplacesFromTheOriginal_data()
{
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QString>("after");
    const QString country = QStringLiteral("Country=047,850,c:\\windows\\command\\country.sys");
    const QString display = QStringLiteral("Device=c:\\windows\\command\\display.sys con=(ega,,1)");
    QTest::newRow("country") << QByteArray("country=049,437,C:\\DOS\\COUNTRY.SYS") << country;
    QTest::newRow("display") << QByteArray("DEVICE=C:\\DOS\\DISPLAY.SYS CON=(EGA,,1)") << display;
    QTest::newRow("other lines untouched") << QByteArray("FILES=40") << QStringLiteral("FILES=40");
}

void EditDialogTest::fixReplacesFromTheOriginal()
{
    QFETCH(QByteArray, original);
    QFETCH(QString, after);
    start();
    showDialogFor(original, [&](QDialog *) {
        QTest::mouseClick(button("FixKnapp"), Qt::LeftButton);
        QCOMPARE(ny()->text(), after);
        // The tests look at the original, so pressing again gives the same.
        QTest::mouseClick(button("FixKnapp"), Qt::LeftButton);
        QCOMPARE(ny()->text(), after);
        QCOMPARE(button("sjekkknapp")->isEnabled(), after.contains(QLatin1Char('.')));
        QVERIFY(!button("RunKnapp")->isEnabled());
    });
}

void EditDialogTest::checkButtonNeedsADot()
{
    start();
    showDialogFor("SET TEMP=C:\\WINDOWS\\TEMP", [this](QDialog *) {
        QVERIFY(!button("sjekkknapp")->isEnabled());
        QTest::keyClicks(ny(), QStringLiteral("\\X.TMP"));
        QVERIFY(button("sjekkknapp")->isEnabled());
        QTest::keyClick(ny(), Qt::Key_Backspace);
        QTest::keyClick(ny(), Qt::Key_Backspace);
        QTest::keyClick(ny(), Qt::Key_Backspace);
        QTest::keyClick(ny(), Qt::Key_Backspace);
        QVERIFY(!button("sjekkknapp")->isEnabled());
    });
}

void EditDialogTest::acceptedEditReplacesOnlyThatLine_data()
{
    QTest::addColumn<int>("list");
    QTest::addColumn<bool>("withEnter");
    for (int i = 1; i < 5; ++i) { // msdosmemo's lines route to the options first
        QTest::addRow("%s with enter", kFullLists[i]) << i << true;
        QTest::addRow("%s with ok", kFullLists[i]) << i << false;
    }
}

void EditDialogTest::acceptedEditReplacesOnlyThatLine()
{
    QFETCH(int, list);
    QFETCH(bool, withEnter);
    Windows &w = start();
    QMap<QString, QList<QByteArray>> before;
    for (const char *name : kAllLists)
        before[QLatin1String(name)] = linesOf(*w.list(name)->lineList());

    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child(kPages[list]));
    LineListView *view = w.list(kFullLists[list]);
    QTRY_VERIFY(view->isVisible());
    whileModal([&](QDialog *) {
        ny()->setText(QStringLiteral("NEW=ÆØÅ"));
        if (withEnter)
            QTest::keyClick(ny(), Qt::Key_Return);
        else
            QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
    });
    doubleClickRow(view, 1);
    QVERIFY(!w.dialog->isVisible());
    QCOMPARE(w.dialog->result(), int(QDialog::Accepted));

    QList<QByteArray> expected = before[QLatin1String(kFullLists[list])];
    expected[1] = "NEW=\xc6\xd8\xc5";
    for (const char *name : kAllLists)
        QCOMPARE(linesOf(*w.list(name)->lineList()), QLatin1String(name) == QLatin1String(kFullLists[list]) ? expected
                                                                                               : before[QLatin1String(name)]);
    QVERIFY(m_failures->messages.isEmpty());
}

// The file holds Windows-1252 only: "Ok" on a character outside it keeps
// the dialog open and says so; the line is not changed behind the user's
// back. "€" is in Windows-1252 and is stored.
void EditDialogTest::aCharacterTheFileCannotHoldIsRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("withEnter");
    QTest::addColumn<QString>("refused"); // empty: stored
    QTest::newRow("omega, Return") << QStringLiteral("Ω") << true << QStringLiteral("Ω");
    QTest::newRow("a CJK sign, Ok") << QStringLiteral("字") << false << QStringLiteral("字");
    QTest::newRow("an emoji (two UTF-16 units)") << QStringLiteral("\U0001F600") << true << QStringLiteral("\U0001F600");
    QTest::newRow("the euro sign is Windows-1252") << QStringLiteral("€") << true << QString();
}

void EditDialogTest::aCharacterTheFileCannotHoldIsRefused()
{
    QFETCH(QString, typed);
    QFETCH(bool, withEnter);
    QFETCH(QString, refused);
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet5"));
    LineListView *view = w.list("AutoMemo");
    QTRY_VERIFY(view->isVisible());
    const QList<QByteArray> before = linesOf(*view->lineList());
    bool stayedOpen = false;
    QString message;
    whileModal([&](QDialog *d) {
        ny()->setText(QStringLiteral("SET X=a"));
        ny()->end(false);
        // Typed as a keyboard layout that has the character would send it
        // (QTest's key names cover ASCII only).
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        QApplication::sendEvent(ny(), &press);
        if (withEnter)
            QTest::keyClick(ny(), Qt::Key_Return);
        else
            QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
        stayedOpen = d->isVisible();
        auto *fins = w.dialogChild<QLabel>("fins");
        message = fins->isVisible() ? fins->text() : QString();
    });
    doubleClickRow(view, 0);
    QCOMPARE(stayedOpen, !refused.isEmpty());
    if (refused.isEmpty()) {
        QCOMPARE(view->lineList()->line(0), QByteArray("SET X=a\x80"));
        return;
    }
    QCOMPARE(message, QStringLiteral("«%1» kan ikke lagres: filen har bare tegn fra Windows-1252").arg(refused));
    QCOMPARE(linesOf(*view->lineList()), before);
}

// A check message wider than its label is cut in the middle: the path's
// start and the verdict show, the whole is the tooltip and what a screen
// reader reads.
void EditDialogTest::aLongCheckMessageKeepsItsVerdict()
{
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    const QString path = QStringLiteral("C:\\") + QStringLiteral("LANGMAPPE\\").repeated(20) + QStringLiteral("DRIVER.SYS");
    QString shown, tip, name;
    int width = 0, room = 0;
    whileModal([&](QDialog *) {
        ny()->setText(QStringLiteral("DEVICE=") + path);
        QTest::mouseClick(button("sjekkknapp"), Qt::LeftButton);
        auto *fins = w.dialogChild<QLabel>("fins");
        shown = fins->text();
        tip = fins->toolTip();
        name = QAccessible::queryAccessibleInterface(fins)->text(QAccessible::Name);
        width = fins->fontMetrics().horizontalAdvance(shown);
        room = fins->width();
    });
    doubleClickRow(view, 0);
    const QString whole = path + QStringLiteral(" finnes ikke !");
    QVERIFY2(shown.startsWith(QStringLiteral("C:\\LANGMAPPE")) && shown.endsWith(QStringLiteral("finnes ikke !")), qPrintable(shown));
    QVERIFY2(width <= room, qPrintable(QStringLiteral("%1 > %2").arg(width).arg(room)));
    QCOMPARE(tip, whole);
    QCOMPARE(name, whole);
}

// The check's result is an alert that appears (a show, which Qt tells a
// screen reader) at each check, which a screen reader speaks as it appears:
// Qt 6.4 has no announcement of its own.
namespace {
class ShowCounter : public QObject
{
public:
    int shows = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        shows += event->type() == QEvent::Show ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void EditDialogTest::theCheckResultIsAnnounced()
{
    m_drive->write(QStringLiteral("WINDOWS/HIMEM.SYS"), "x");
    Windows &w = start();
    auto *fins = w.dialogChild<QLabel>("fins");
    auto *ok = w.dialogChild<QLabel>("ok");
    QCOMPARE(QAccessible::queryAccessibleInterface(fins)->role(), QAccessible::Notification);
    QCOMPARE(QAccessible::queryAccessibleInterface(ok)->role(), QAccessible::Notification);
    bool modal = false;
    whileModal([&](QDialog *d) { modal = QAccessible::queryAccessibleInterface(d)->state().modal; });
    w.dialog->exec();
    QVERIFY(modal); // and the dialog tells that it is modal
    // Closed, it is no longer among the windows a screen reader lists.
    QAccessibleInterface *application = QAccessible::queryAccessibleInterface(qApp);
    const auto listed = [&] {
        for (int i = 0; i < application->childCount(); ++i) {
            if (application->child(i)->object() == w.dialog)
                return true;
        }
        return false;
    };
    QTRY_VERIFY(!listed());
    for (const char *line : {"DEVICE=C:\\DOS\\NOPE.SYS", "DEVICE=C:\\WINDOWS\\HIMEM.SYS"}) {
        ShowCounter counter;
        QLabel *result = QByteArray(line).contains("NOPE") ? fins : ok;
        result->installEventFilter(&counter);
        w.dialog->setOriginalText(line);
        w.dialog->setNyText(line);
        whileModal([&](QDialog *) {
            // Twice: the second check is spoken too, though its label shows already.
            QTest::mouseClick(w.dialogChild<QPushButton>("sjekkknapp"), Qt::LeftButton);
            QTest::mouseClick(w.dialogChild<QPushButton>("sjekkknapp"), Qt::LeftButton);
        });
        w.dialog->exec();
        result->removeEventFilter(&counter);
        QCOMPARE(counter.shows, 2);
    }
}

void EditDialogTest::cancelledEditChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("escape") << "escape";
    QTest::newRow("avbryt") << "avbryt";
    QTest::newRow("close control") << "close";
}

void EditDialogTest::cancelledEditChangesNothing()
{
    QFETCH(QString, how);
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet5"));
    LineListView *view = w.list("AutoMemo");
    QTRY_VERIFY(view->isVisible());
    const QList<QByteArray> before = linesOf(*view->lineList());
    whileModal([&](QDialog *d) {
        QTest::keyClicks(ny(), QStringLiteral("changed"));
        if (how == QLatin1String("escape"))
            QTest::keyClick(ny(), Qt::Key_Escape);
        else if (how == QLatin1String("avbryt"))
            QTest::mouseClick(button("BitBtn2"), Qt::LeftButton);
        else
            d->close();
    });
    doubleClickRow(view, 0);
    QCOMPARE(w.dialog->result(), int(QDialog::Rejected));
    QCOMPARE(linesOf(*view->lineList()), before);
}

void EditDialogTest::enterAfterACheck()
{
    Windows &w = start();
    // A found file: the focus stays on "Sjekk ...", and Enter checks again.
    int result = showDialogFor("DEVICE=C:\\WINDOWS\\HIMEM.SYS", [this](QDialog *d) {
        QTest::mouseClick(button("sjekkknapp"), Qt::LeftButton);
        QVERIFY(label("ok")->isVisible());
        QVERIFY(!label("fins")->isVisible());
        QCOMPARE(label("ok")->text(), QStringLiteral("C:\\WINDOWS\\HIMEM.SYS finnes."));
        QCOMPARE(QApplication::focusWidget(), button("sjekkknapp"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(d->isVisible());
        QVERIFY(label("ok")->isVisible());
        QVERIFY(!button("RunKnapp")->isEnabled()); // not a program
        d->accept();
    });
    QCOMPARE(result, int(QDialog::Accepted));

    // A failed check: the focus is back in the text, and Enter presses "O&k".
    result = showDialogFor("DEVICE=C:\\DOS\\NOPE.SYS", [this](QDialog *d) {
        QTest::mouseClick(button("sjekkknapp"), Qt::LeftButton);
        QVERIFY(label("fins")->isVisible());
        QVERIFY(!label("ok")->isVisible());
        QCOMPARE(label("fins")->text(), QStringLiteral("C:\\DOS\\NOPE.SYS finnes ikke !"));
        QCOMPARE(QApplication::focusWidget(), ny());
        QCOMPARE(ny()->selectedText(), QStringLiteral("C:\\DOS\\NOPE.SYS"));
        QTest::keyClick(ny(), Qt::Key_Return);
        QVERIFY(!d->isVisible());
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(w.dialog->nyText(), QByteArray("DEVICE=C:\\DOS\\NOPE.SYS"));
}

void EditDialogTest::enterPressesOkAtEveryShowing_data()
{
    QTest::addColumn<QByteArray>("before"); // the line of the showing before
    QTest::addColumn<QString>("pressed");   // the button clicked there
    QTest::addColumn<QString>("closedBy");
    QTest::addColumn<QByteArray>("next");   // the line of the next showing
    const QByteArray found = "DEVICE=C:\\WINDOWS\\EMM386.EXE";
    const QByteArray missing = "DEVICE=C:\\WINDOWS\\EMM386.EXE NOEMS";
    const std::pair<QByteArray, const char *> presses[] = {
        {found, "sjekkknapp"}, {missing, "sjekkknapp"}, {found, "RunKnapp"}, {missing, "FixKnapp"}};
    for (const char *next : {"FILES=40", "DEVICE=C:\\WINDOWS\\HIMEM.SYS"}) {
        for (const auto &[before, pressed] : presses) {
            for (const char *closedBy : {"escape", "avbryt"}) {
                QTest::addRow("%s on %s, %s, then %s", pressed, before.constData(), closedBy, next)
                    << before << pressed << closedBy << QByteArray(next);
            }
        }
    }
}

void EditDialogTest::enterPressesOkAtEveryShowing()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, pressed);
    QFETCH(QString, closedBy);
    QFETCH(QByteArray, next);
    Windows &w = start();
    showDialogFor(before, [&](QDialog *) {
        if (pressed != QLatin1String("sjekkknapp"))
            QTest::mouseClick(button("sjekkknapp"), Qt::LeftButton); // enables "Kjør .."
        QTest::mouseClick(button(qPrintable(pressed)), Qt::LeftButton);
        if (closedBy == QLatin1String("escape"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            QTest::mouseClick(button("BitBtn2"), Qt::LeftButton);
    });
    const int result = showDialogFor(next, [this](QDialog *d) {
        QVERIFY(button("BitBtn1")->isDefault());
        QTest::keyClicks(ny(), QStringLiteral("1"));
        QTest::keyClick(ny(), Qt::Key_Return);
        QVERIFY(!d->isVisible());
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(w.dialog->nyText(), next.left(next.indexOf('=') + 1) + "1");
}

void EditDialogTest::typingAfterAFoundProgramDisablesRun()
{
    start();
    showDialogFor("DEVICE=C:\\WINDOWS\\EMM386.EXE", [this](QDialog *) {
        QTest::mouseClick(button("sjekkknapp"), Qt::LeftButton);
        QVERIFY(button("RunKnapp")->isEnabled());
        ny()->setFocus();
        QTest::keyClick(ny(), Qt::Key_End);
        QTest::keyClick(ny(), Qt::Key_Space);
        QVERIFY(!button("RunKnapp")->isEnabled());
        // A check of something that is no program leaves it disabled.
        ny()->setText(QStringLiteral("DEVICE=C:\\WINDOWS\\HIMEM.SYS"));
        QTest::mouseClick(button("sjekkknapp"), Qt::LeftButton);
        QVERIFY(label("ok")->isVisible());
        QVERIFY(!button("RunKnapp")->isEnabled());
    });
    // Showing the dialog again starts with "Kjør .." disabled and no message.
    showDialogFor("DEVICE=C:\\WINDOWS\\EMM386.EXE", [this](QDialog *) {
        QVERIFY(!button("RunKnapp")->isEnabled());
        QVERIFY(!label("ok")->isVisible());
        QVERIFY(!label("fins")->isVisible());
    });
}

void EditDialogTest::runStartsTheFileThatWasChecked()
{
    Windows &w = start();
    showDialogFor("run=notepad.exe", [this](QDialog *) {
        QTest::mouseClick(button("sjekkknapp"), Qt::LeftButton);
        QCOMPARE(label("ok")->text(), QStringLiteral("notepad.exe finnes."));
        QVERIFY(button("RunKnapp")->isEnabled());
        QTest::mouseClick(button("RunKnapp"), Qt::LeftButton);
    });
    QCOMPARE(w.launched, (QList<QByteArray>{"C:\\WINDOWS\\NOTEPAD.EXE"}));
    QCOMPARE(w.dialog->RunPath(), QByteArray("C:\\WINDOWS\\NOTEPAD.EXE"));
}

void EditDialogTest::editedHeaderStaysInTheSectionList()
{
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet6"));
    LineListView *full = w.list("Wininimemo");
    QTRY_VERIFY(full->isVisible());
    whileModal([this](QDialog *) {
        ny()->setText(QStringLiteral("[windows2]"));
        QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
    });
    doubleClickRow(full, 0);
    QCOMPARE(full->lineList()->line(0), QByteArray("[windows2]"));
    QCOMPARE(w.list("WinIniList")->lineList()->line(0), QByteArray("[windows]"));
    // The old header is no longer found: a click on it changes nothing.
    clickRow(full, 3);
    clickRow(w.list("WinIniList"), 0);
    QCOMPARE(full->lineList()->selectedIndex(), 3);
}

void EditDialogTest::optionLinesJumpToTheirBox_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("box");
    QTest::newRow("bootdelay") << QByteArray("BootDelay=2") << "BD";
    QTest::newRow("network comment") << QByteArray(";Network settings") << "NW";
    QTest::newRow("first word of the table") << QByteArray("BootDelay=2 ;Network") << "BD";
    QTest::newRow("doublebuffer") << QByteArray("DoubleBuffer=1") << "DB";
    QTest::newRow("bootmulti") << QByteArray("BootMulti=1") << "BM";
    QTest::newRow("bootgui") << QByteArray("BootGUI=1") << "BGUI";
}

void EditDialogTest::optionLinesJumpToTheirBox()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, box);
    m_drive->write(QStringLiteral("MSDOS.SYS"), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n[Options]\r\n" + line + "\r\n");
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet3"));
    LineListView *view = w.list("msdosmemo");
    QTRY_VERIFY(view->isVisible());
    doubleClickRow(view, 3);
    QCOMPARE(w.child<QTabWidget>("PageControl")->currentWidget(), w.child("TabO"));
    QWidget *target = w.child(qPrintable(box));
    QTRY_COMPARE(QApplication::focusWidget(), target);
    QVERIFY(!w.dialog->isVisible());
    QCOMPARE(view->lineList()->line(3), line);
    // The box shows its focus as it does when the keyboard brought it there.
    const QImage routed = target->grab().toImage();
    QTest::keyClick(target, Qt::Key_Tab);
    const QImage left = target->grab().toImage();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), target);
    QVERIFY(routed != left);
    QVERIFY(routed == target->grab().toImage());
}

void EditDialogTest::otherMsDosLinesOpenTheDialog()
{
    m_drive->write(QStringLiteral("MSDOS.SYS"),
                   "[Paths]\r\nWinDir=C:\\WINDOWS\r\n[Options]\r\nWinVer=4.10.2222\r\nAutoScan=1\r\n");
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet3"));
    LineListView *view = w.list("msdosmemo");
    QTRY_VERIFY(view->isVisible());
    for (int row : {0, 2, 3, 4}) {
        QString original;
        whileModal([&](QDialog *) {
            original = w.dialogChild<QLineEdit>("original")->text();
            QTest::keyClick(ny(), Qt::Key_Escape);
        });
        doubleClickRow(view, row);
        QCOMPARE(original, ansi::decode(view->lineList()->line(row)));
    }
    QCOMPARE(w.child<QTabWidget>("PageControl")->currentWidget(), w.child("TabSheet3"));
}

void EditDialogTest::doubleClickBelowTheLines_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<int>("selected"); // clicked before, -1: none
    QTest::newRow("empty list") << QByteArray() << -1;
    QTest::newRow("nothing selected") << QByteArray("FILES=40\r\nBUFFERS=20\r\n") << -1;
    QTest::newRow("first line selected") << QByteArray("FILES=40\r\nBUFFERS=20\r\n") << 0;
    QTest::newRow("last line selected") << QByteArray("FILES=40\r\nBUFFERS=20\r\n") << 1;
}

// A click where there is no line keeps the selection, so a double-click
// there edits the selected line; with none selected the lookup fails.
void EditDialogTest::doubleClickBelowTheLines()
{
    QFETCH(QByteArray, config);
    QFETCH(int, selected);
    m_drive->write(QStringLiteral("CONFIG.SYS"), config);
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    if (selected >= 0)
        clickRow(view, selected);
    const QPoint blank(20, view->viewport()->height() - 5);
    QVERIFY(!view->indexAt(blank).isValid());
    QString original;
    if (selected >= 0) {
        whileModal([&](QDialog *d) {
            original = w.dialogChild<QLineEdit>("original")->text();
            d->reject();
        });
    }
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, blank);
    QCOMPARE(view->lineList()->selectedIndex(), selected);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, blank);
    if (selected < 0) {
        QCOMPARE(m_failures->messages.size(), 1);
        QVERIFY2(m_failures->messages[0].contains(QLatin1String("utenfor listen")), qPrintable(m_failures->messages[0]));
        QVERIFY(!w.dialog->isVisible());
    } else {
        QVERIFY(m_failures->messages.isEmpty());
        QCOMPARE(original, ansi::decode(view->lineList()->line(selected)));
    }
    QCOMPARE(view->lineList()->selectedIndex(), selected);
    QVERIFY(w.form->isVisible());
}

void EditDialogTest::typicalRoad()
{
    Windows &w = start();
    // config.sys page, double-click «DEVICE=C:\WINDOWS\HIMEM.SYS».
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    QCOMPARE(view->lineList()->line(0), QByteArray("DEVICE=C:\\WINDOWS\\HIMEM.SYS"));
    whileModal([this](QDialog *) {
        QVERIFY(button("sjekkknapp")->isEnabled());
        QCOMPARE(ny()->selectedText(), QStringLiteral("C:\\WINDOWS\\HIMEM.SYS"));
        // Typing replaces the selected value.
        QTest::keyClicks(ny(), QStringLiteral("C:\\WINDOWS\\EMM386.EXE"));
        QVERIFY(!button("RunKnapp")->isEnabled());
        QTest::mouseClick(button("sjekkknapp"), Qt::LeftButton);
        QCOMPARE(label("ok")->text(), QStringLiteral("C:\\WINDOWS\\EMM386.EXE finnes."));
        QVERIFY(button("RunKnapp")->isEnabled());
        QTest::mouseClick(button("BitBtn1"), Qt::LeftButton);
    });
    doubleClickRow(view, 0);
    QCOMPARE(view->lineList()->line(0), QByteArray("DEVICE=C:\\WINDOWS\\EMM386.EXE"));
    QCOMPARE(view->lineList()->line(1), QByteArray("FILES=40"));
    QVERIFY(m_failures->messages.isEmpty());
}

QTEST_MAIN(EditDialogTest)
#include "tst_editdialog.moc"
