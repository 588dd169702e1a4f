// The configuration window through its real widgets: start, keyboard roles,
// reloading, section navigation and resizing.
#include "guitest.h"
#include "testhelpers.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QToolTip>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

namespace {

QByteArray iniWithSections(int lines, const QList<int> &headerRows, const QByteArray &name = "s")
{
    QByteArray text;
    for (int i = 0; i < lines; ++i) {
        if (headerRows.contains(i))
            text += "[" + name + QByteArray::number(i) + "]\r\n";
        else
            text += "key" + QByteArray::number(i) + "=value\r\n";
    }
    return text;
}

} // namespace

class MainWindowTest : public QObject, public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startLoadsEverythingAndFocusesAvbryt();
    void startWithoutMsDosSysStillShowsTheWindow();
    void escapeEndsTheProgram_data();
    void escapeEndsTheProgram();
    void enterOrSpaceRightAfterStartEndsIt_data();
    void enterOrSpaceRightAfterStartEndsIt();
    void saveButtonNeverReacts();
    void accessKeysSwitchPagesAndPressButtons();
    void tabOrderOnEachPage_data();
    void tabOrderOnEachPage();
    void reloadButtonReadsTheFilesAgain();
    void bootDelayFollowsTheFlagNotTheClick();
    void headerClickLandsOnTheSection_data();
    void headerClickLandsOnTheSection();
    void keyboardSelectionNavigatesToo();
    void programSelectionRunsNoHandler();
    void duplicatedHeadersPickTheFirst();
    void editedHeaderNotFoundChangesNothing();
    void resizingGrowsTheFullListsOnly();
    void missingFilesAreMarked();

};

void MainWindowTest::init()
{
    setUpFixture();
}

void MainWindowTest::cleanup()
{
    tearDownFixture();
}

void MainWindowTest::startLoadsEverythingAndFocusesAvbryt()
{
    Windows &w = start();
    QCOMPARE(w.form->windowTitle(), QStringLiteral("DOS"));
    QCOMPARE(w.child<QLineEdit>("WD")->text(), QStringLiteral("C:\\WINDOWS"));
    QVERIFY(w.child<QCheckBox>("BGUI")->isChecked());
    QVERIFY(w.child<QCheckBox>("BD")->isChecked()); // no BootDelay line: the flag
    QCOMPARE(w.list("ConfigMemo")->model()->rowCount(), 2);
    QCOMPARE(w.list("WinIniList")->model()->rowCount(), 2);
    QCOMPARE(w.child<QTabWidget>("PageControl")->currentWidget(), w.child("TabSheet1"));
    QCOMPARE(QApplication::focusWidget(), w.child("BitBtn2"));
    QVERIFY(m_failures->messages.isEmpty());
}

void MainWindowTest::startWithoutMsDosSysStillShowsTheWindow()
{
    m_drive->remove(QStringLiteral("MSDOS.SYS"));
    Windows &w = start();
    QVERIFY(w.form->isVisible());
    QCOMPARE(m_failures->messages.size(), 1);
    QVERIFY2(m_failures->messages[0].contains(QLatin1String("C:\\MSDOS.SYS")), qPrintable(m_failures->messages[0]));
    QCOMPARE(w.list("ConfigMemo")->model()->rowCount(), 2);
    QCOMPARE(w.list("AutoMemo")->model()->rowCount(), 2);
    QCOMPARE(w.list("msdosmemo")->model()->rowCount(), 0);
    QCOMPARE(w.list("Wininimemo")->model()->rowCount(), 0);
    // The event loop goes on: the window still answers its buttons.
    QTest::mouseClick(w.child("BitBtn2"), Qt::LeftButton);
    QTRY_VERIFY(!w.form->isVisible());
}

void MainWindowTest::escapeEndsTheProgram_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("focus");
    QTest::newRow("on the button") << "TabSheet1" << "BitBtn2";
    QTest::newRow("in a text field") << "TabSheet1" << "WBD";
    QTest::newRow("on a check box") << "TabO" << "NW";
    QTest::newRow("in a list") << "TabSheet6" << "Wininimemo";
}

void MainWindowTest::escapeEndsTheProgram()
{
    QFETCH(QString, page);
    QFETCH(QString, focus);
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child(qPrintable(page)));
    QWidget *target = w.child(qPrintable(focus));
    target->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key_Escape);
    QTRY_VERIFY(!w.form->isVisible());
    QVERIFY(m_failures->messages.isEmpty());
}

void MainWindowTest::enterOrSpaceRightAfterStartEndsIt_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("enter") << int(Qt::Key_Return);
    QTest::newRow("keypad enter") << int(Qt::Key_Enter);
    QTest::newRow("space") << int(Qt::Key_Space);
}

void MainWindowTest::enterOrSpaceRightAfterStartEndsIt()
{
    QFETCH(int, key);
    Windows &w = start();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QTRY_VERIFY(!w.form->isVisible());
}

void MainWindowTest::saveButtonNeverReacts()
{
    Windows &w = start();
    auto *save = w.child<QPushButton>("BitBtn1");
    QVERIFY(!save->isEnabled());
    QVERIFY(save->isVisible());
    for (int round = 0; round < 2; ++round) {
        QTest::mouseClick(save, Qt::LeftButton);
        auto *field = w.child<QLineEdit>("WD");
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        QTest::qWait(20);
        QVERIFY(w.form->isVisible());
        QVERIFY(!save->isEnabled());
        QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton); // then again after a load
    }
    QVERIFY(m_failures->messages.isEmpty());
}

void MainWindowTest::accessKeysSwitchPagesAndPressButtons()
{
    Windows &w = start();
    auto *pages = w.child<QTabWidget>("PageControl");
    QTest::keyClick(w.form.get(), Qt::Key_O, Qt::AltModifier);
    QTRY_COMPARE(pages->currentWidget(), w.child("TabO"));
    QTest::keyClick(w.form.get(), Qt::Key_P, Qt::AltModifier);
    QTRY_COMPARE(pages->currentWidget(), w.child("TabSheet1"));
    m_drive->write(QStringLiteral("CONFIG.SYS"), "ONE\r\nTWO\r\nTHREE\r\n");
    QTest::keyClick(w.form.get(), Qt::Key_H, Qt::AltModifier);
    QTRY_COMPARE(w.list("ConfigMemo")->model()->rowCount(), 3);
    QTest::keyClick(w.form.get(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(!w.form->isVisible());
}

void MainWindowTest::tabOrderOnEachPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("paths") << "TabSheet1" << QStringList{"WD", "WBD", "HWBD", "BitBtn2", "HentKnapp",
                                                      "qt_tabwidget_tabbar", "WD"};
    // WinVer is skipped by the Tab key.
    QTest::newRow("options") << "TabO" << QStringList{"BM", "BGUI", "DB", "ASC", "BD", "NW", "BitBtn2"};
    QTest::newRow("msdos.sys") << "TabSheet3" << QStringList{"msdosmemo", "msdoslist", "BitBtn2"};
    QTest::newRow("config.sys") << "TabSheet4" << QStringList{"ConfigMemo", "BitBtn2"};
    QTest::newRow("autoexec.bat") << "TabSheet5" << QStringList{"AutoMemo", "BitBtn2"};
    QTest::newRow("win.ini") << "TabSheet6" << QStringList{"WinIniList", "Wininimemo", "BitBtn2"};
    QTest::newRow("system.ini") << "TabSheet7" << QStringList{"systeminimemo", "systeminilist", "BitBtn2"};
}

void MainWindowTest::tabOrderOnEachPage()
{
    QFETCH(QString, page);
    QFETCH(QStringList, order);
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child(qPrintable(page)));
    QWidget *first = w.child(qPrintable(order.first()));
    first->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), first);
    QStringList seen{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(seen, order);
}

void MainWindowTest::reloadButtonReadsTheFilesAgain()
{
    Windows &w = start();
    m_drive->write(QStringLiteral("WINDOWS/SYSTEM.INI"), "[boot]\r\n[386Enh]\r\n[drivers]\r\n");
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QCOMPARE(w.list("systeminilist")->model()->rowCount(), 3);
    QCOMPARE(w.list("msdosmemo")->model()->rowCount(), 5); // no duplicates
}

void MainWindowTest::bootDelayFollowsTheFlagNotTheClick()
{
    Windows &w = start();
    auto *bd = w.child<QCheckBox>("BD");
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabO"));
    QVERIFY(bd->isChecked());
    QTest::mouseClick(bd, Qt::LeftButton, {}, QPoint(5, bd->height() / 2));
    QVERIFY(!bd->isChecked());
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QVERIFY(bd->isChecked());
    // A BootDelay line sets both the box and the flag...
    m_drive->write(QStringLiteral("MSDOS.SYS"), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n[Options]\r\nBootDelay=0\r\n");
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QVERIFY(!bd->isChecked());
    // ...so without one, the next load keeps the value last read.
    m_drive->write(QStringLiteral("MSDOS.SYS"), "[Paths]\r\nWinDir=C:\\WINDOWS\r\n[Options]\r\n");
    QTest::mouseClick(bd, Qt::LeftButton, {}, QPoint(5, bd->height() / 2));
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QVERIFY(!bd->isChecked());
    // A typed WinDir is where the next load looks for the INI files.
    m_drive->write(QStringLiteral("W98/WIN.INI"), "[typed]\r\n");
    m_drive->write(QStringLiteral("W98/SYSTEM.INI"), "[typed]\r\n");
    m_drive->write(QStringLiteral("MSDOS.SYS"), "[Options]\r\n");
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet1"));
    auto *wd = w.child<QLineEdit>("WD");
    wd->clear();
    QTest::keyClicks(wd, QStringLiteral("c:\\w98"));
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QCOMPARE(w.list("WinIniList")->model()->index(0, 0).data().toString(), QStringLiteral("[typed]"));
    QVERIFY(m_failures->messages.isEmpty());
}

void MainWindowTest::headerClickLandsOnTheSection_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("headerIndex"); // in the section list
    QTest::addColumn<int>("line");        // the header's line
    QTest::addColumn<int>("firstShown");  // -1: the list need not scroll
    QTest::addColumn<int>("lastShown");
    // WIN.INI and SYSTEM.INI: 400 lines, headers at 3, 200 and 392.
    QTest::newRow("win.ini near the top") << "WinIniList" << 0 << 3 << 0 << -1;
    QTest::newRow("win.ini in the middle") << "WinIniList" << 1 << 200 << -1 << 215;
    QTest::newRow("win.ini in the last 15") << "WinIniList" << 2 << 392 << -1 << 399;
    QTest::newRow("system.ini in the middle") << "systeminilist" << 1 << 200 << -1 << 215;
    QTest::newRow("system.ini in the last 15") << "systeminilist" << 2 << 392 << -1 << 399;
    // MSDOS.SYS: plain selection, so the header is the last line shown.
    QTest::newRow("msdos.sys in the middle") << "msdoslist" << 1 << 200 << -1 << 200;
}

void MainWindowTest::headerClickLandsOnTheSection()
{
    QFETCH(QString, list);
    QFETCH(int, headerIndex);
    QFETCH(int, line);
    QFETCH(int, firstShown);
    QFETCH(int, lastShown);
    const QByteArray ini = iniWithSections(400, {3, 200, 392});
    m_drive->write(QStringLiteral("WINDOWS/WIN.INI"), ini);
    m_drive->write(QStringLiteral("WINDOWS/SYSTEM.INI"), ini);
    QByteArray msdos = "[Paths]\r\nWinDir=C:\\WINDOWS\r\n[Options]\r\n";
    for (int i = 3; i < 400; ++i)
        msdos += (i == 200 ? QByteArray("[Extra]") : i == 392 ? QByteArray("[Late]") : ";padding") + "\r\n";
    m_drive->write(QStringLiteral("MSDOS.SYS"), msdos);
    Windows &w = start();

    const QString page = list == QLatin1String("WinIniList") ? QStringLiteral("TabSheet6")
                       : list == QLatin1String("systeminilist") ? QStringLiteral("TabSheet7")
                                                                : QStringLiteral("TabSheet3");
    const char *fullName = list == QLatin1String("WinIniList") ? "Wininimemo"
                         : list == QLatin1String("systeminilist") ? "systeminimemo" : "msdosmemo";
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child(qPrintable(page)));
    LineListView *sections = w.list(qPrintable(list));
    LineListView *full = w.list(fullName);
    QTRY_VERIFY(full->isVisible());
    if (list == QLatin1String("msdoslist")) { // MSDOS.SYS's own headers come first
        QCOMPARE(sections->model()->index(headerIndex + 1, 0).data().toString(), QStringLiteral("[Extra]"));
        headerIndex += 1;
        line = 200;
    }

    clickRow(sections, headerIndex);
    QCOMPARE(full->lineList()->selectedIndex(), line);
    const auto [first, last] = visibleRows(full);
    QVERIFY2(first <= line && line <= last, qPrintable(QStringLiteral("%1..%2").arg(first).arg(last)));
    if (firstShown >= 0)
        QCOMPARE(first, firstShown);
    if (lastShown >= 0)
        QCOMPARE(last, lastShown);
}

void MainWindowTest::keyboardSelectionNavigatesToo()
{
    m_drive->write(QStringLiteral("WINDOWS/WIN.INI"), iniWithSections(100, {0, 50, 80}));
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet6"));
    LineListView *sections = w.list("WinIniList");
    clickRow(sections, 0);
    QCOMPARE(w.list("Wininimemo")->lineList()->selectedIndex(), 0);
    QTest::keyClick(sections, Qt::Key_Down);
    QCOMPARE(w.list("Wininimemo")->lineList()->selectedIndex(), 50);
    QTest::keyClick(sections, Qt::Key_End);
    QCOMPARE(w.list("Wininimemo")->lineList()->selectedIndex(), 80);
}

void MainWindowTest::programSelectionRunsNoHandler()
{
    m_drive->write(QStringLiteral("WINDOWS/WIN.INI"), iniWithSections(100, {0, 50, 80}));
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet6"));
    w.list("WinIniList")->lineList()->setSelectedIndex(1);
    QCOMPARE(w.list("Wininimemo")->lineList()->selectedIndex(), -1);
    QCOMPARE(w.list("WinIniList")->selectionModel()->selectedRows().size(), 1);
}

void MainWindowTest::duplicatedHeadersPickTheFirst()
{
    m_drive->write(QStringLiteral("WINDOWS/WIN.INI"), "[a]\r\nx=1\r\n[b]\r\n[a]\r\ny=2\r\n");
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet6"));
    clickRow(w.list("WinIniList"), 2); // the second [a]
    QCOMPARE(w.list("Wininimemo")->lineList()->selectedIndex(), 0);
    clickRow(w.list("WinIniList"), 1);
    QCOMPARE(w.list("Wininimemo")->lineList()->selectedIndex(), 2);
}

void MainWindowTest::editedHeaderNotFoundChangesNothing()
{
    m_drive->write(QStringLiteral("WINDOWS/SYSTEM.INI"), iniWithSections(300, {0, 250}));
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet7"));
    LineListView *full = w.list("systeminimemo");
    full->lineList()->setLine(250, "[edited]");
    clickRow(full, 100);
    const int scroll = full->verticalScrollBar()->value();
    clickRow(w.list("systeminilist"), 1);
    QCOMPARE(full->lineList()->selectedIndex(), 100);
    QCOMPARE(full->verticalScrollBar()->value(), scroll);
    // An empty full list: nothing happens either.
    full->lineList()->clear();
    clickRow(w.list("systeminilist"), 0);
    QCOMPARE(full->lineList()->selectedIndex(), -1);
    QVERIFY(m_failures->messages.isEmpty());
}

void MainWindowTest::resizingGrowsTheFullListsOnly()
{
    Windows &w = start();
    auto *pages = w.child<QTabWidget>("PageControl");
    pages->setCurrentWidget(w.child("TabSheet6"));
    QTRY_VERIFY(w.list("Wininimemo")->isVisible());
    QCOMPARE(w.child("Panel1")->height(), 41);
    QCOMPARE(w.list("WinIniList")->width(), 161);
    const int fullWidth = w.list("Wininimemo")->width();
    const int fullHeight = w.list("Wininimemo")->height();
    const int panelWidth = w.child("Panel1")->width();
    w.form->resize(w.form->width() + 300, w.form->height() + 200);
    QTRY_COMPARE(w.child("Panel1")->width(), panelWidth + 300);
    QCOMPARE(w.child("Panel1")->height(), 41);
    QCOMPARE(w.list("WinIniList")->width(), 161);
    QCOMPARE(w.list("Wininimemo")->width(), fullWidth + 300);
    QCOMPARE(w.list("Wininimemo")->height(), fullHeight + 200);
    pages->setCurrentWidget(w.child("TabSheet3"));
    QTRY_COMPARE(w.list("msdoslist")->width(), 177);
    QVERIFY(w.list("msdosmemo")->width() > fullWidth + 200);
}

void MainWindowTest::missingFilesAreMarked()
{
    m_drive->write(QStringLiteral("CONFIG.SYS"),
                   "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\nDEVICE=C:\\CDROM\\OAKCDROM.SYS /D:MSCD001\r\n");
    m_drive->write(QStringLiteral("WINDOWS/HIMEM.SYS"), "x");
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    const QAbstractItemModel *model = view->model();
    const auto colour = [model](int row) {
        return qvariant_cast<QBrush>(model->index(row, 0).data(Qt::ForegroundRole)).color();
    };
    // Drawn in the colour of the dialog's "finnes ikke".
    const QRegularExpressionMatch fins = QRegularExpression(QStringLiteral("#[0-9a-fA-F]{6}"))
                                             .match(w.dialogChild<QLabel>("fins")->styleSheet());
    QVERIFY(fins.hasMatch());
    QTRY_COMPARE(colour(2), QColor(fins.captured()));
    for (int row : {0, 1})
        QVERIFY(!model->index(row, 0).data(Qt::ForegroundRole).isValid());
    // What the screen shows of a row, as painted.
    const auto reddish = [](LineListView *view, int row) {
        const QRect rect = view->visualRect(view->model()->index(row, 0));
        const QPoint topLeft = view->viewport()->mapTo(view->window(), rect.topLeft());
        const QImage image = view->screen()
                                 ->grabWindow(view->window()->winId(), topLeft.x(), topLeft.y(), rect.width(), rect.height())
                                 .toImage();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > c.green() + 60 && c.red() > c.blue() + 60)
                    return true;
            }
        }
        return false;
    };
    QTRY_VERIFY(reddish(view, 2));
    QVERIFY(!reddish(view, 0));

    // The tooltip names the missing file, as the line writes it.
    const QPoint at = rowCentre(view, 2);
    QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("C:\\CDROM\\OAKCDROM.SYS finnes ikke"));
    QToolTip::hideText();
    // The lines themselves are as read.
    QCOMPARE(linesOf(*view->lineList()), (QList<QByteArray>{"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "FILES=40",
                                                          "DEVICE=C:\\CDROM\\OAKCDROM.SYS /D:MSCD001"}));

    // An accepted edit audits its line again, and the selection stays.
    whileModal([&](QDialog *) {
        m_windows->dialogChild<QLineEdit>("ny")->setText(QStringLiteral("DEVICE=C:\\GONE.SYS"));
        QTest::mouseClick(m_windows->dialogChild<QPushButton>("BitBtn1"), Qt::LeftButton);
    });
    doubleClickRow(view, 0);
    QCOMPARE(view->lineList()->selectedIndex(), 0);
    QTRY_COMPARE(model->index(0, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("C:\\GONE.SYS finnes ikke"));
    QCOMPARE(colour(0), QColor(fins.captured()));

    // A reload audits the drive as it now is.
    m_drive->write(QStringLiteral("CDROM/OAKCDROM.SYS"), "x");
    m_drive->write(QStringLiteral("CONFIG.SYS"), "DEVICE=C:\\CDROM\\OAKCDROM.SYS\r\nDEVICE=C:\\GONE.SYS\r\n");
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QTRY_VERIFY(model->index(1, 0).data(Qt::ForegroundRole).isValid());
    QVERIFY(!model->index(0, 0).data(Qt::ForegroundRole).isValid());
    QVERIFY(!model->index(0, 0).data(Qt::ToolTipRole).isValid());

    // Behind a long CONFIG.SYS, the marks of AUTOEXEC.BAT come after its
    // list is shown, and the shown list is drawn again with them.
    m_drive->write(QStringLiteral("CONFIG.SYS"), QByteArray("REM\r\n").repeated(50000));
    m_drive->write(QStringLiteral("AUTOEXEC.BAT"), "C:\\MOUSE\\MOUSE.COM\r\n");
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet5"));
    LineListView *autoexec = w.list("AutoMemo");
    QTRY_VERIFY(autoexec->isVisible());
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QTRY_VERIFY(reddish(autoexec, 0));
    QVERIFY(m_failures->messages.isEmpty());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
