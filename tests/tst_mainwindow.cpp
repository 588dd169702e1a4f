// The configuration window through its real widgets: start, keyboard roles,
// reloading, section navigation and resizing.
#include "cregwriter.h"
#include "drives/ansitext.h"
#include "drives/directorydrive.h"
#include "guitest.h"
#include "widgets/readablecolour.h"
#include "testhelpers.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QUrl>

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
    void startWithAFailingFileStillShowsTheWindow_data();
    void startWithAFailingFileStillShowsTheWindow();
    void aPageTurnedToBeforeTheFirstFrameShowsItsLists_data();
    void aPageTurnedToBeforeTheFirstFrameShowsItsLists();
    void startWithoutADriveSaysWhatToDo();
    void failureBoxesKeepPathsWholeInTheProgramsFont();
    void escapeEndsTheProgram_data();
    void escapeEndsTheProgram();
    void enterOrSpaceRightAfterStartEndsIt_data();
    void enterOrSpaceRightAfterStartEndsIt();
    void saveButtonNeverReacts();
    void accessKeysSwitchPagesAndPressButtons();
    void ctrlTabTurnsThePageFromAnywhere_data();
    void ctrlTabTurnsThePageFromAnywhere();
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
    void longLinesAreShownWhole_data();
    void longLinesAreShownWhole();
    void windowKeepsItsDesignedPlaceWhereItFits();
    void captionsFitFromTheirDesignedLeftEdge_data();
    void captionsFitFromTheirDesignedLeftEdge();
    void accessKeysAreUniqueInEachWindow_data();
    void accessKeysAreUniqueInEachWindow();
    void theWindowsSpeakTheChosenLanguage_data();
    void theWindowsSpeakTheChosenLanguage();
    void screenReaderNamesWhatItReads();
    void copyTakesLinesToTheClipboard_data();
    void copyTakesLinesToTheClipboard();
    void missingFilesAreMarked();
    void anEditMarksTheLinesAfterItAgain();
    void startupPageShowsTheRegistry();
    void keysOpenASelectedLine_data();
    void keysOpenASelectedLine();
    void altChordsNeverType_data();
    void altChordsNeverType();
    void markedLinesSpeakWithoutColour();
    void aLongLineByKeyboard();
    void theFocusedLineIsFramedClearly();
    void theFocusedTabIsFramedClearly();
    void everyControlIsReachable();
    void designColoursReadOnAnyPalette_data();
    void designColoursReadOnAnyPalette();
    void droppedFolderOpensAsTheMachine();
    void noDriveBoxChoosesAMachine_data();
    void noDriveBoxChoosesAMachine();

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

// A file that fails at start is told once; what was read before it stays.
void MainWindowTest::startWithAFailingFileStillShowsTheWindow_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QByteArray>("systemDat");
    QTest::addColumn<QString>("told");
    QTest::addColumn<int>("winIniLines");
    QTest::newRow("MSDOS.SYS gone") << "MSDOS.SYS" << QByteArray() << "C:\\MSDOS.SYS" << 0;
    // The start-up page is read after the first frame, and fails there.
    QTest::newRow("SYSTEM.DAT damaged") << QString() << QByteArray("CREG but not a hive")
                                        << "C:\\WINDOWS\\SYSTEM.DAT" << 4;
}

void MainWindowTest::startWithAFailingFileStillShowsTheWindow()
{
    QFETCH(QString, missing);
    QFETCH(QByteArray, systemDat);
    QFETCH(QString, told);
    QFETCH(int, winIniLines);
    if (!missing.isEmpty())
        m_drive->remove(missing);
    if (!systemDat.isEmpty())
        m_drive->write(QStringLiteral("WINDOWS/SYSTEM.DAT"), systemDat);
    Windows &w = start();
    QVERIFY(w.form->isVisible());
    QCOMPARE(m_failures->messages.size(), 1);
    QVERIFY2(m_failures->messages[0].contains(told), qPrintable(m_failures->messages[0]));
    QCOMPARE(w.list("ConfigMemo")->model()->rowCount(), 2);
    QCOMPARE(w.list("AutoMemo")->model()->rowCount(), 2);
    QCOMPARE(w.list("msdosmemo")->model()->rowCount() > 0, missing.isEmpty());
    QCOMPARE(w.list("Wininimemo")->model()->rowCount(), winIniLines);
    // The event loop goes on: the window still answers its buttons.
    QTest::mouseClick(w.child("BitBtn2"), Qt::LeftButton);
    QTRY_VERIFY(!w.form->isVisible());
}

// The lists of the pages behind the first are made, and the start-up page is
// read, once the window's first frame is out; a page the user turns to
// before then has its lists at once, loaded and named.
void MainWindowTest::aPageTurnedToBeforeTheFirstFrameShowsItsLists_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::newRow("config.sys") << 3 << QByteArray("ConfigMemo") << "Linjer i config.sys"
                                << QList<QByteArray>{"FILES=40", "BUFFERS=20"};
    QTest::newRow("oppstart") << 7 << QByteArray("startupmemo") << "Linjer i oppstart"
                              << QList<QByteArray>{"[C:\\WINDOWS\\WINSTART.BAT]", "NET START"};
}

void MainWindowTest::aPageTurnedToBeforeTheFirstFrameShowsItsLists()
{
    QFETCH(int, tab);
    QFETCH(QByteArray, list);
    QFETCH(QString, name);
    QFETCH(QList<QByteArray>, lines);
    m_drive->write(QStringLiteral("CONFIG.SYS"), "FILES=40\r\nBUFFERS=20\r\n");
    m_drive->write(QStringLiteral("WINDOWS/WINSTART.BAT"), "NET START\r\n");
    Windows w(m_drive->drives);
    w.form->show();
    QTabBar *tabs = w.child<QTabWidget>("PageControl")->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
    LineListView *shown = w.list(list.constData());
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    QCOMPARE(linesOf(*shown->lineList()), lines);
    QCOMPARE(shown->accessibleName(), name);
    QVERIFY(m_failures->messages.isEmpty());
}

void MainWindowTest::startWithoutADriveSaysWhatToDo()
{
    // No --drive and no Wine prefix: drive C: is a folder that is not there.
    QTemporaryDir home;
    DriveMap drives([&home](QChar letter) {
        return std::make_shared<DirectoryDrive>(home.path() + QStringLiteral("/.wine/dosdevices/") + letter.toLower()
                                                + QLatin1Char(':'));
    });
    Windows w(drives);
    QVERIFY(w.show());
    QCOMPARE(m_failures->messages.size(), 1);
    const QString message = m_failures->messages[0];
    for (const char *part : {"--drive C=MAPPE", "diskbilde", "Wine-prefiks"})
        QVERIFY2(message.contains(QLatin1String(part)), qPrintable(message));
    QVERIFY2(message.endsWith(QLatin1Char('.')) && !message.contains(QLatin1String(". ")), qPrintable(message));
    // Once the folder is there, "&Hent verdier" reads from it.
    QDir(home.path()).mkpath(QStringLiteral(".wine/dosdevices/c:"));
    QFile config(home.path() + QStringLiteral("/.wine/dosdevices/c:/CONFIG.SYS"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("FILES=40\r\n");
    config.close();
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QCOMPARE(w.list("ConfigMemo")->model()->rowCount(), 1);
    QVERIFY(!m_failures->messages.last().contains(QLatin1String("--drive")));
}

// The message box of a failure: the font of the windows, and a path in the
// message never broken across lines.
void MainWindowTest::failureBoxesKeepPathsWholeInTheProgramsFont()
{
    m_failures.reset(); // the real box
    const QString missing = QDir::tempPath() + QStringLiteral("/a-folder-with-a-rather-long-name/and-another-one/"
                                                              "and-a-third/dosdevices/d:");
    DriveMap drives([&missing](QChar) { return std::make_shared<DirectoryDrive>(missing); });
    drives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(m_drive->dir.path()));
    m_drive->write(QStringLiteral("MSDOS.SYS"), "[Paths]\r\nWinDir=D:\\WINDOWS\r\n");
    QStringList seen;
    Windows w(drives);
    whileModal([&](QDialog *box) {
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        const QString text = label->text();
        seen.append(QString(text).remove(QChar(0x2060)));
        const QFontInfo shown(label->font());
        const QFontInfo program(w.form->font());
        QCOMPARE(shown.family(), program.family());
        QCOMPARE(shown.pixelSize(), program.pixelSize());
        // Lay the text out as the label does: every line after the first
        // starts after a blank.
        QTextLayout layout(text, label->font());
        QTextOption option;
        option.setWrapMode(label->wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(label->contentsRect().width());
        layout.endLayout();
        QVERIFY(layout.lineCount() > 1);
        for (int i = 1; i < layout.lineCount(); ++i) {
            const int start = layout.lineAt(i).textStart();
            QVERIFY2(text[start - 1].isSpace(), qPrintable(text.left(start) + QStringLiteral(" | ")));
        }
        box->accept();
    });
    QVERIFY(w.show());
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen[0].contains(missing), qPrintable(seen[0]));
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

// Ctrl+Tab and Ctrl+Shift+Tab turn the page from a page, from the tab strip
// and from a button beside the pages. The focus goes straight into the new
// page (it stays on the strip): no control outside the pages, which a
// screen reader would announce, holds it on the way.
void MainWindowTest::ctrlTabTurnsThePageFromAnywhere_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("back");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("focused");
    QTest::newRow("from a page") << "ConfigMemo" << false << "TabSheet5" << "AutoMemo";
    QTest::newRow("back from a page") << "ConfigMemo" << true << "TabSheet3" << "msdosmemo";
    QTest::newRow("from Avbryt") << "BitBtn2" << false << "TabSheet5" << "AutoMemo";
    QTest::newRow("back from Hent verdier") << "HentKnapp" << true << "TabSheet3" << "msdosmemo";
    QTest::newRow("from the tab strip") << "qt_tabwidget_tabbar" << false << "TabSheet5" << "qt_tabwidget_tabbar";
}

void MainWindowTest::ctrlTabTurnsThePageFromAnywhere()
{
    QFETCH(QString, from);
    QFETCH(bool, back);
    QFETCH(QString, page);
    QFETCH(QString, focused);
    Windows &w = start();
    auto *pages = w.child<QTabWidget>("PageControl");
    pages->setCurrentWidget(w.child("TabSheet4"));
    QWidget *start = w.child(qPrintable(from));
    start->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), start);
    QStringList passedThrough;
    const QMetaObject::Connection watch =
        connect(qApp, &QApplication::focusChanged, this, [&](QWidget *, QWidget *now) {
            if (now)
                passedThrough.append(now->objectName());
        });
    if (back)
        QTest::keyClick(start, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    else
        QTest::keyClick(start, Qt::Key_Tab, Qt::ControlModifier);
    disconnect(watch);
    QCOMPARE(pages->currentWidget(), w.child(qPrintable(page)));
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
    QCOMPARE(passedThrough, focused == from ? QStringList() : QStringList{focused});
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

void MainWindowTest::longLinesAreShownWhole_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("row");     // of the long line among three
    QTest::addColumn<int>("padding"); // short lines after the three
    QTest::newRow("fits the list") << 30 << 1 << 0;
    QTest::newRow("300 characters, first") << 300 << 0 << 0;
    QTest::newRow("300 characters, last") << 300 << 2 << 0;
    QTest::newRow("5,000 characters") << 5000 << 1 << 0;
    QTest::newRow("in a list of megabytes") << 300 << 1 << 100000;
}

// A line wider than the list is shown as it is, to its last character, with
// a horizontal scroll bar to reach it.
void MainWindowTest::longLinesAreShownWhole()
{
    QFETCH(int, length);
    QFETCH(int, row);
    QFETCH(int, padding);
    QList<QByteArray> lines{"FILES=40", "BUFFERS=20", "STACKS=9,256"};
    lines[row] = "DEVICE=C:\\" + QByteArray(length - 12, 'W') + ".SYS";
    m_drive->write(QStringLiteral("CONFIG.SYS"),
                   lines.join("\r\n") + "\r\n" + QByteArray("REM padding\r\n").repeated(padding));
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    QScrollBar *bar = view->horizontalScrollBar();
    const int textWidth = view->fontMetrics().horizontalAdvance(QString::fromLatin1(lines[row]));
    if (textWidth < view->viewport()->width()) {
        QCOMPARE(bar->maximum(), 0);
        return;
    }
    QTRY_VERIFY(bar->maximum() > 0);
    QVERIFY(bar->isVisible());
    // Scrolled to the end, the line's last character is on screen: the
    // picture changes with it.
    const auto shownWithLast = [&](char last) {
        QByteArray line = lines[row];
        line.back() = last;
        view->lineList()->setLine(row, line);
        QCoreApplication::processEvents();
        bar->setValue(bar->maximum());
        return view->viewport()->grab().toImage();
    };
    QVERIFY(shownWithLast('S') != shownWithLast('M'));
    QVERIFY(shownWithLast('M') == shownWithLast('M'));
}

// At 200, 108 with its frame (556 x 356 outside) where that is on the screen,
// else moved just enough to be on it. The tests run once more at scale 2 on a
// screen of 1280 x 1024, that is 640 x 512 to the program.
void MainWindowTest::windowKeepsItsDesignedPlaceWhereItFits()
{
    Windows &w = start();
    const QRect screen = w.form->screen()->availableGeometry();
    const QRect designed(QPoint(200, 108), QSize(556, 356));
    QVERIFY(screen.contains(w.form->frameGeometry()));
    const QPoint expected(designed.right() > screen.right() ? screen.right() + 1 - designed.width() : 200,
                          designed.bottom() > screen.bottom() ? screen.bottom() + 1 - designed.height() : 108);
    QCOMPARE(w.form->pos(), expected);
}

void MainWindowTest::captionsFitFromTheirDesignedLeftEdge_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<bool>("inDialog");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("left"); // as designed
    const std::tuple<bool, const char *, int> controls[] = {
        {false, "LabelWD", 72}, {false, "LabelWBD", 48}, {false, "LabelHWBD", 24}, {false, "Label5", 72},
        {false, "Label1", 304}, {false, "Label2", 304}, {false, "BM", 64}, {false, "BGUI", 64},
        {false, "DB", 64}, {false, "ASC", 280}, {false, "BD", 280}, {false, "NW", 280},
        {false, "HentKnapp", 24}, {false, "BitBtn1", 176}, {false, "BitBtn2", 328},
        {true, "Label2", 16}, {true, "Label1", 16}, {true, "FixKnapp", 16}, {true, "RunKnapp", 104},
        {true, "sjekkknapp", 184}, {true, "BitBtn1", 264}, {true, "BitBtn2", 344},
    };
    for (const auto language : {Language::Norwegian, Language::English}) {
        for (const auto &[inDialog, name, left] : controls)
            QTest::addRow("%s %s %s", language == Language::English ? "en" : "nb", inDialog ? "dialog" : "window", name)
                << language << inDialog << QString::fromLatin1(name) << left;
    }
}

// With whatever font stands in for MS Sans Serif, at any scale, a caption is
// never cut off: its control keeps its designed left edge and is as large as
// the caption needs.
void MainWindowTest::captionsFitFromTheirDesignedLeftEdge()
{
    QFETCH(Language, language);
    QFETCH(bool, inDialog);
    QFETCH(QString, name);
    QFETCH(int, left);
    Windows &w = start(language);
    QWidget *window = inDialog ? static_cast<QWidget *>(w.dialog) : w.form.get();
    auto *control = window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->x(), left);
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        // The caption and the glyph within the button's bevel.
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const int glyph = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        const QString caption = QString(button->text()).remove(QLatin1Char('&'));
        QVERIFY2(button->fontMetrics().horizontalAdvance(caption) + glyph <= room.width(),
                 qPrintable(QStringLiteral("%1 in %2").arg(caption).arg(room.width())));
        // OK and Cancel draw the style's own glyphs, as sharp as it has them
        // at the screen's scale.
        if (name.startsWith(QLatin1String("BitBtn"))) {
            const QIcon standard = button->style()->standardIcon(
                name == QLatin1String("BitBtn1") ? QStyle::SP_DialogOkButton : QStyle::SP_DialogCancelButton);
            const qreal scale = button->devicePixelRatioF();
            QCOMPARE(button->icon().pixmap(button->iconSize(), scale).toImage(),
                     standard.pixmap(button->iconSize(), scale).toImage());
        }
    } else {
        const QSize needed = control->sizeHint();
        QVERIFY2(needed.width() <= control->width(),
                 qPrintable(QStringLiteral("%1 wide, needs %2").arg(control->width()).arg(needed.width())));
        if (qobject_cast<QLabel *>(control))
            QVERIFY(needed.height() <= control->height());
    }
}

// What a screen reader is told, read through QAccessible: each field is named
// by its label (whose caption gains no access key), the lists, the BootDelay
// explanation and the check messages have Norwegian names and descriptions.
void MainWindowTest::screenReaderNamesWhatItReads()
{
    m_drive->write(QStringLiteral("WINDOWS/HIMEM.SYS"), "x");
    Windows &w = start();
    const auto name = [](QWidget *widget) { return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name); };
    const auto description = [](QWidget *widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description);
    };

    const std::tuple<bool, const char *, const char *, const char *> labelled[] = {
        {false, "LabelWD", "WD", "WinDir"}, {false, "LabelWBD", "WBD", "WinBootDir"},
        {false, "LabelHWBD", "HWBD", "HostWinBootDrv"}, {false, "Label5", "WV", "WinVer"},
        {true, "Label2", "original", "Original tekst:"}, {true, "Label1", "ny", "Ny tekst"}};
    for (const auto &[inDialog, labelName, fieldName, caption] : labelled) {
        QWidget *window = inDialog ? static_cast<QWidget *>(w.dialog) : w.form.get();
        auto *label = window->findChild<QLabel *>(QLatin1String(labelName));
        auto *field = window->findChild<QWidget *>(QLatin1String(fieldName));
        QCOMPARE(label->text(), QLatin1String(caption));
        QCOMPARE(name(field), QLatin1String(caption));
        bool labelledBy = false;
        for (const auto &[other, relation] : QAccessible::queryAccessibleInterface(field)->relations(QAccessible::Label))
            labelledBy = labelledBy || other->object() == label;
        QVERIFY2(labelledBy, fieldName);
    }

    const std::tuple<const char *, const char *, const char *> lists[] = {
        {"msdosmemo", "Linjer i msdos.sys", "C:\\MSDOS.SYS"}, {"msdoslist", "Seksjoner i msdos.sys", "C:\\MSDOS.SYS"},
        {"ConfigMemo", "Linjer i config.sys", "C:\\CONFIG.SYS"}, {"AutoMemo", "Linjer i autoexec.bat", "C:\\AUTOEXEC.BAT"},
        {"Wininimemo", "Linjer i win.ini", "WIN.INI"}, {"WinIniList", "Seksjoner i win.ini", "WIN.INI"},
        {"systeminimemo", "Linjer i system.ini", "SYSTEM.INI"}, {"systeminilist", "Seksjoner i system.ini", "SYSTEM.INI"},
        {"startupmemo", "Linjer i oppstart", "registeret"}, {"startuplist", "Seksjoner i oppstart", "registeret"}};
    for (const auto &[list, listName, file] : lists) {
        QCOMPARE(name(w.list(list)), QLatin1String(listName));
        QVERIFY2(description(w.list(list)).contains(QLatin1String(file)), qPrintable(description(w.list(list))));
    }

    const QString explanation = QStringLiteral("Vent i to sekunder for å sjekke om det er trykket på F8 under oppstart.");
    for (const char *label : {"Label1", "Label2"}) {
        QCOMPARE(name(w.child(label)), QStringLiteral("Forklaring til BootDelay"));
        QCOMPARE(description(w.child(label)), explanation);
    }
    QCOMPARE(name(w.child("BD")), QStringLiteral("BootDelay"));
    QCOMPARE(description(w.child("BD")), explanation);
    // The pages have a name; the bottom panel is part of the window, not a
    // window of its own (which a screen reader would not follow into); Fix
    // says what it puts in.
    QCOMPARE(name(w.child("PageControl")), QStringLiteral("Sider"));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.child("Panel1"))->role(), QAccessible::Pane);
    QVERIFY(description(w.dialogChild<QPushButton>("FixKnapp")).contains(QLatin1String("047")));

    // The dialog's messages carry what the last check said.
    auto *fins = w.dialogChild<QLabel>("fins");
    auto *ok = w.dialogChild<QLabel>("ok");
    QCOMPARE(name(fins), QStringLiteral("Filen finnes ikke"));
    QCOMPARE(name(ok), QStringLiteral("Filen finnes"));
    QVERIFY(!description(fins).isEmpty() && !description(ok).isEmpty());
    for (const char *line : {"DEVICE=C:\\DOS\\NOPE.SYS", "DEVICE=C:\\WINDOWS\\HIMEM.SYS"}) {
        w.dialog->setOriginalText(line);
        w.dialog->setNyText(line);
        whileModal([&](QDialog *) { QTest::mouseClick(w.dialogChild<QPushButton>("sjekkknapp"), Qt::LeftButton); });
        w.dialog->exec();
    }
    QCOMPARE(description(fins), QStringLiteral("C:\\DOS\\NOPE.SYS finnes ikke !"));
    QCOMPARE(description(ok), QStringLiteral("C:\\WINDOWS\\HIMEM.SYS finnes."));
}

void MainWindowTest::copyTakesLinesToTheClipboard_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("list");
    const std::pair<const char *, const char *> lists[] = {
        {"TabSheet3", "msdosmemo"}, {"TabSheet3", "msdoslist"}, {"TabSheet4", "ConfigMemo"},
        {"TabSheet5", "AutoMemo"}, {"TabSheet6", "Wininimemo"}, {"TabSheet6", "WinIniList"},
        {"TabSheet7", "systeminimemo"}, {"TabSheet7", "systeminilist"}};
    for (const auto &[page, list] : lists)
        QTest::newRow(list) << page << list;
}

// Ctrl+C copies the selected line; the context menu copies it or all lines
// as they now stand, joined by the platform's line break.
void MainWindowTest::copyTakesLinesToTheClipboard()
{
    QFETCH(QString, page);
    QFETCH(QString, list);
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child(qPrintable(page)));
    LineListView *view = w.list(qPrintable(list));
    QTRY_VERIFY(view->isVisible());
    LineList *lines = view->lineList();
    lines->setLine(0, QByteArray("Edited=\xc6\xd8\xc5 ").append(5000, 'x')); // as it now stands, longer than shown
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    // Nothing selected: nothing to copy.
    QCOMPARE(lines->selectedIndex(), -1);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(chooseFromContextMenu(view, QStringLiteral("Kopier linje")), MenuItem::Disabled);
    QCOMPARE(clipboard->text(), QStringLiteral("before"));

    clickRow(view, 0);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), ansi::decode(lines->line(0)));
    clickRow(view, 1);
    QCOMPARE(chooseFromContextMenu(view, QStringLiteral("Kopier linje")), MenuItem::Chosen);
    QCOMPARE(clipboard->text(), ansi::decode(lines->line(1)));

    QCOMPARE(chooseFromContextMenu(view, QStringLiteral("Kopier alle linjer")), MenuItem::Chosen);
#ifdef Q_OS_WIN
    const QByteArray lineBreak = "\r\n";
#else
    const QByteArray lineBreak = "\n";
#endif
    QCOMPARE(clipboard->text(), ansi::decode(linesOf(*lines).join(lineBreak)));
    QCOMPARE(lines->selectedIndex(), 1);
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

// An edited line may change what every later line finds: its file and
// every file loaded after it are marked again. A batch file a line calls
// marks that line, its tooltip naming the file and line of the finding.
void MainWindowTest::anEditMarksTheLinesAfterItAgain()
{
    m_drive->write(QStringLiteral("MOUSE/MOUSE.COM"), "x");
    m_drive->write(QStringLiteral("GO.BAT"), "DOOM\r\n");
    m_drive->write(QStringLiteral("AUTOEXEC.BAT"), "PATH C:\\WINDOWS\r\nMOUSE\r\nCALL GO\r\n");
    m_drive->write(QStringLiteral("WINDOWS/WIN.INI"), "[windows]\r\nload=mouse.com\r\nrun=gone.exe\r\n");
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet5"));
    LineListView *view = w.list("AutoMemo");
    QTRY_VERIFY(view->isVisible());
    const QAbstractItemModel *autoexec = view->model();
    const QAbstractItemModel *winIni = w.list("Wininimemo")->model();
    const auto tip = [](const QAbstractItemModel *model, int row) { return model->index(row, 0).data(Qt::ToolTipRole).toString(); };
    QTRY_COMPARE(tip(autoexec, 2), QStringLiteral("DOOM finnes ikke (C:\\GO.BAT, linje 1)"));
    QCOMPARE(tip(autoexec, 1), QStringLiteral("MOUSE finnes ikke"));
    QCOMPARE(tip(winIni, 1), QStringLiteral("mouse.com finnes ikke"));

    whileModal([&](QDialog *) {
        m_windows->dialogChild<QLineEdit>("ny")->setText(QStringLiteral("PATH C:\\WINDOWS;C:\\MOUSE"));
        QTest::mouseClick(m_windows->dialogChild<QPushButton>("BitBtn1"), Qt::LeftButton);
    });
    doubleClickRow(view, 0);
    // The lines that stay missing show the audit went past them again.
    QTRY_COMPARE(tip(autoexec, 2), QStringLiteral("DOOM finnes ikke (C:\\GO.BAT, linje 1)"));
    QTRY_COMPARE(tip(winIni, 2), QStringLiteral("gone.exe finnes ikke"));
    QVERIFY(!autoexec->index(1, 0).data(Qt::ForegroundRole).isValid());
    QVERIFY(!winIni->index(1, 0).data(Qt::ToolTipRole).isValid());
}

// The eighth page shows the registry's Run key and StaticVxD: the tab is
// clicked, a header chosen, a missing VxD marked, and a double-click opens
// the edit dialog with the line.
void MainWindowTest::startupPageShowsTheRegistry()
{
    const creg::Key run{"Run", {creg::string("Tray", "systray.exe")}, {}};
    const creg::Key nwlink{"NWLINK", {creg::string("StaticVxD", "nwlink.vxd")}, {}};
    const creg::Key software{"Software", {}, {{"Microsoft", {}, {{"Windows", {}, {{"CurrentVersion", {}, {run}}}}}}}};
    const creg::Key system{"System", {}, {{"CurrentControlSet", {}, {{"Services", {}, {{"VxD", {}, {nwlink}}}}}}}};
    m_drive->write(QStringLiteral("WINDOWS/SYSTEM.DAT"), creg::write(creg::Key{{}, {}, {software, system}}));
    m_drive->write(QStringLiteral("WINDOWS/SYSTEM/SYSTRAY.EXE"), "x");
    Windows &w = start();
    auto *pages = w.child<QTabWidget>("PageControl");
    QTabBar *bar = pages->tabBar();
    QCOMPARE(bar->tabText(7), QStringLiteral("oppstart"));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(7).center());
    QCOMPARE(pages->currentWidget(), w.child("TabSheet8"));
    LineListView *lines = w.list("startupmemo");
    LineListView *sections = w.list("startuplist");
    QTRY_VERIFY(lines->isVisible());
    QCOMPARE(linesOf(*lines->lineList()),
             (QList<QByteArray>{"[HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]", "Tray=systray.exe",
                                "[HKLM\\System\\CurrentControlSet\\Services\\VxD]", "NWLINK=nwlink.vxd"}));
    QCOMPARE(sections->model()->rowCount(), 2);
    clickRow(sections, 1);
    QCOMPARE(lines->lineList()->selectedIndex(), 2);
    const QAbstractItemModel *model = lines->model();
    QTRY_COMPARE(model->index(3, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("nwlink.vxd finnes ikke"));
    QVERIFY(!model->index(1, 0).data(Qt::ToolTipRole).isValid());

    QString shown;
    whileModal([&](QDialog *) {
        shown = m_windows->dialogChild<QLineEdit>("ny")->text();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    doubleClickRow(lines, 1);
    QCOMPARE(shown, QStringLiteral("Tray=systray.exe"));
}

// Return, Enter and F2 on a selected line open it as a double-click does;
// other keys, or no selected line, open nothing.
void MainWindowTest::keysOpenASelectedLine_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("select");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Return") << int(Qt::Key_Return) << true << true;
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << true << true;
    QTest::newRow("F2") << int(Qt::Key_F2) << true << true;
    QTest::newRow("Space") << int(Qt::Key_Space) << true << false;
    QTest::newRow("Return with no line selected") << int(Qt::Key_Return) << false << false;
}

void MainWindowTest::keysOpenASelectedLine()
{
    QFETCH(int, key);
    QFETCH(bool, select);
    QFETCH(bool, opens);
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    view->setFocus();
    if (select) { // the first line, by the keyboard
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Up);
    }
    QCOMPARE(view->lineList()->selectedIndex(), select ? 0 : -1);
    bool opened = false;
    QString text;
    QTimer::singleShot(0, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            opened = true;
            text = m_windows->dialogChild<QLineEdit>("ny")->text();
            dialog->reject();
        }
    });
    QTest::keyClick(view, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QTest::qWait(20);
    QCOMPARE(opened, opens);
    if (opens)
        QCOMPARE(text, QString::fromLatin1(view->lineList()->line(0)));
}

// An Alt-chord that no enabled shortcut takes types nothing; one that is
// taken still works.
void MainWindowTest::altChordsNeverType_data()
{
    QTest::addColumn<QString>("field"); // in the window, or "ny" in the dialog
    QTest::addColumn<int>("key");
    QTest::newRow("Alt+L, Lagre og avslutt disabled") << "WD" << int(Qt::Key_L);
    QTest::newRow("Alt+Q, taken by nothing") << "WD" << int(Qt::Key_Q);
    QTest::newRow("Alt+F in the dialog") << "ny" << int(Qt::Key_F);
}

void MainWindowTest::altChordsNeverType()
{
    QFETCH(QString, field);
    QFETCH(int, key);
    Windows &w = start();
    if (field == QLatin1String("WD")) {
        auto *edit = w.child<QLineEdit>("WD");
        edit->setFocus();
        edit->end(false);
        const QString before = edit->text();
        QTest::keyClick(edit, Qt::Key(key), Qt::AltModifier);
        QCOMPARE(edit->text(), before);
        // A taken chord still works: Alt+H is "Hent verdier", which reads again.
        edit->setText(QStringLiteral("C:\\ELSEWHERE"));
        QTest::keyClick(edit, Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(edit->text(), before);
        return;
    }
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    QString typed;
    whileModal([&](QDialog *) {
        auto *ny = m_windows->dialogChild<QLineEdit>("ny");
        ny->setFocus();
        ny->selectAll();
        const QString before = ny->text();
        QTest::keyClick(ny, Qt::Key(key), Qt::AltModifier);
        typed = ny->text() == before ? QString() : ny->text();
    });
    doubleClickRow(view, 1);
    QCOMPARE(typed, QString());
}

// A marked line tells a screen reader and a keyboard user what is missing:
// as the row's accessible description, and as its tooltip when the
// keyboard reaches it.
void MainWindowTest::markedLinesSpeakWithoutColour()
{
    const QByteArray longName = "C:\\" + QByteArray(3000, 'L') + ".SYS";
    m_drive->write(QStringLiteral("CONFIG.SYS"), "FILES=40\r\nDEVICE=C:\\GONE.SYS\r\nDEVICE=" + longName + "\r\n");
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    QTRY_VERIFY(view->model()->index(1, 0).data(Qt::ToolTipRole).isValid());
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view);
    QVERIFY(list && list->childCount() >= 2);
    const auto description = [list](int row) {
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface *item = list->child(i);
            if (item && item->text(QAccessible::Name) == QString::fromLatin1(row ? "DEVICE=C:\\GONE.SYS" : "FILES=40"))
                return item->text(QAccessible::Description);
        }
        return QStringLiteral("no such item");
    };
    QCOMPARE(description(1), QStringLiteral("C:\\GONE.SYS finnes ikke"));
    QCOMPARE(description(0), QString());
    // A name of thousands of characters: whole for a screen reader, its
    // middle left out of the tooltip, which would run off the screen.
    const QString longTip = view->model()->index(2, 0).data(Qt::ToolTipRole).toString();
    QVERIFY2(longTip.size() <= 140 && longTip.startsWith(QStringLiteral("C:\\LLL")) && longTip.endsWith(QStringLiteral(".SYS finnes ikke")),
             qPrintable(longTip));
    QCOMPARE(view->model()->index(2, 0).data(Qt::AccessibleDescriptionRole).toString(),
             QString::fromLatin1(longName) + QStringLiteral(" finnes ikke"));
    view->setFocus();
    for (int i = 0; i < 3 && view->currentIndex().row() != 1; ++i)
        QTest::keyClick(view, Qt::Key_Down);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("C:\\GONE.SYS finnes ikke"));
    QTest::keyClick(view, Qt::Key_Up);
    QTRY_VERIFY(!QToolTip::isVisible());
}

// The end of a line wider than the list is reached with Right, and the
// keyboard's context menu (Shift+F10) opens at the line, inside the list,
// however wide the line.
void MainWindowTest::aLongLineByKeyboard()
{
    const QByteArray longLine = "REM " + QByteArray(3000, 'x');
    m_drive->write(QStringLiteral("CONFIG.SYS"), "FILES=40\r\n" + longLine + "\r\n");
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(view->lineList()->selectedIndex(), 1);
    QScrollBar *sideways = view->horizontalScrollBar();
    QCOMPARE(sideways->value(), 0);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(view, Qt::Key_Right);
    const int scrolled = sideways->value();
    QVERIFY(scrolled > 0);
    QTest::keyClick(view, Qt::Key_Left);
    QVERIFY(sideways->value() < scrolled);
    QCOMPARE(view->lineList()->selectedIndex(), 1); // the line stays chosen

    QRect menuAt;
    QTimer::singleShot(0, [&menuAt] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            menuAt = menu->geometry();
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return); // "Kopier linje"
        }
    });
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
    const QRect list(view->viewport()->mapToGlobal(QPoint(0, 0)), view->viewport()->size());
    QVERIFY2(list.contains(menuAt.topLeft()), qPrintable(QStringLiteral("menu at %1,%2").arg(menuAt.x()).arg(menuAt.y())));
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(longLine));
}

// The window fits the screen, and Tab brings every button of the panel into
// view: on a screen smaller than the design the content scrolls (a run at
// 800 x 600 and a scale of 2 is its real test; on a larger screen nothing
// needs to scroll).
void MainWindowTest::everyControlIsReachable()
{
    Windows &w = start();
    const QRect screen = w.form->screen()->availableGeometry();
    QVERIFY2(screen.contains(w.form->frameGeometry()),
             qPrintable(QStringLiteral("%1 x %2 on %3 x %4").arg(w.form->frameGeometry().width()).arg(w.form->frameGeometry().height())
                            .arg(screen.width()).arg(screen.height())));
    const QRect window(w.form->mapToGlobal(QPoint(0, 0)), w.form->size());
    for (const char *name : {"BitBtn2", "HentKnapp"}) {
        QWidget *button = w.child(name);
        for (int i = 0; i < 64 && QApplication::focusWidget() != button; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), button);
        const QRect at(button->mapToGlobal(QPoint(0, 0)), button->size());
        QVERIFY2(window.contains(at), name);
    }
    // The edit dialog likewise.
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    QStringList unreachable;
    whileModal([&](QDialog *d) {
        if (!screen.contains(d->frameGeometry()))
            unreachable.append(QStringLiteral("the dialog"));
        const QRect dialog(d->mapToGlobal(QPoint(0, 0)), d->size());
        for (const char *name : {"BitBtn2", "BitBtn1", "FixKnapp"}) {
            QWidget *button = m_windows->dialogChild<QWidget>(name);
            for (int i = 0; i < 16 && QApplication::focusWidget() != button; ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() != button
                || !dialog.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())))
                unreachable.append(QLatin1String(name));
        }
    });
    doubleClickRow(view, 0);
    QCOMPARE(unreachable, QStringList());
}

// The line the keyboard is on, before any is chosen, has a frame that reads
// at 3 : 1 or more against the list along its visible top edge.
void MainWindowTest::theFocusedLineIsFramedClearly()
{
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    view->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(view->hasFocus());
    QVERIFY(view->currentIndex().isValid());
    QCOMPARE(view->lineList()->selectedIndex(), -1);
    const QRect rect = view->visualRect(view->currentIndex()).intersected(view->viewport()->rect());
    const QImage row = view->viewport()->grab(rect).toImage();
    const QColor base = view->palette().color(QPalette::Base);
    int strong = 0;
    for (int x = 0; x < row.width(); ++x)
        strong += contrastRatio(row.pixelColor(x, 0), base) >= 3.0 ? 1 : 0;
    QVERIFY2(strong >= row.width() / 3, qPrintable(QStringLiteral("%1 of %2").arg(strong).arg(row.width())));
}

// Within each window no two controls share an access key, in either language.
void MainWindowTest::accessKeysAreUniqueInEachWindow_data()
{
    QTest::addColumn<Language>("language");
    QTest::newRow("nb") << Language::Norwegian;
    QTest::newRow("en") << Language::English;
}

void MainWindowTest::accessKeysAreUniqueInEachWindow()
{
    QFETCH(Language, language);
    Windows &w = start(language);
    const auto keyOf = [](const QString &text) {
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        return amp >= 0 && amp + 1 < text.size() ? text.at(amp + 1).toUpper() : QChar();
    };
    for (QWidget *window : {static_cast<QWidget *>(w.form.get()), static_cast<QWidget *>(w.dialog)}) {
        QStringList texts;
        if (auto *tabs = window->findChild<QTabWidget *>()) {
            for (int i = 0; i < tabs->count(); ++i)
                texts.append(tabs->tabText(i));
        }
        for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
            if (b->window() == window) // not the dialog, a child of the window
                texts.append(b->text());
        }
        for (QLabel *l : window->findChildren<QLabel *>()) {
            if (l->window() == window)
                texts.append(l->text());
        }
        QMap<QChar, QString> owners;
        int keys = 0;
        for (const QString &text : std::as_const(texts)) {
            const QChar key = keyOf(text);
            if (key.isNull())
                continue;
            ++keys;
            QVERIFY2(!owners.contains(key), qPrintable(owners.value(key) + QStringLiteral(" and ") + text));
            owners.insert(key, text);
        }
        QVERIFY(keys >= 2);
    }
}

// The window and the dialog in the chosen language: captions, what a screen
// reader is told and a marked line's tooltip.
void MainWindowTest::theWindowsSpeakTheChosenLanguage_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("expected"); // reload button, startup tab, list name, mark, dialog title
    QTest::newRow("nb") << Language::Norwegian
                        << QStringList{"&Hent verdier", "oppstart", "Linjer i config.sys",
                                       "C:\\NOPE.SYS finnes ikke", "Endre innstilling"};
    QTest::newRow("en") << Language::English
                        << QStringList{"&Get values", "startup", "Lines in config.sys",
                                       "C:\\NOPE.SYS does not exist", "Change setting"};
}

void MainWindowTest::theWindowsSpeakTheChosenLanguage()
{
    QFETCH(Language, language);
    QFETCH(QStringList, expected);
    m_drive->write(QStringLiteral("CONFIG.SYS"), "DEVICE=C:\\NOPE.SYS\r\n");
    Windows &w = start(language);
    auto *pages = w.child<QTabWidget>("PageControl");
    LineListView *config = w.list("ConfigMemo");
    QTRY_COMPARE(config->model()->data(config->model()->index(0, 0), Qt::ToolTipRole).toString(), expected[3]);
    QCOMPARE(w.child<QPushButton>("HentKnapp")->text(), expected[0]);
    QCOMPARE(pages->tabText(pages->indexOf(w.child("TabSheet8"))), expected[1]);
    QCOMPARE(config->accessibleName(), expected[2]);
    QCOMPARE(w.dialog->windowTitle(), expected[4]);
}

// The tab the keyboard is on has a frame that reads at 3 : 1 or more: a
// row of it above the caption is mostly strong pixels.
void MainWindowTest::theFocusedTabIsFramedClearly()
{
    Windows &w = start();
    auto *tabs = static_cast<QTabBar *>(w.child("qt_tabwidget_tabbar"));
    w.form->setAttribute(Qt::WA_KeyboardFocusChange);
    tabs->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(tabs->hasFocus());
    const QImage tab = tabs->grab(tabs->tabRect(tabs->currentIndex())).toImage();
    const QColor background = tabs->palette().color(QPalette::Window);
    int strongest = 0;
    for (int y = 0; y < 5 * tab.devicePixelRatio(); ++y) {
        int strong = 0;
        for (int x = 0; x < tab.width(); ++x)
            strong += contrastRatio(tab.pixelColor(x, y), background) >= 3.0 ? 1 : 0;
        strongest = std::max(strongest, strong);
    }
    QVERIFY2(strongest >= tab.width() / 3, qPrintable(QStringLiteral("%1 of %2").arg(strongest).arg(tab.width())));
}

// The marks' maroon and the check's maroon and navy are the design's on a
// light palette; on a dark one they keep their hue and read at 4.5 : 1.
void MainWindowTest::designColoursReadOnAnyPalette_data()
{
    QTest::addColumn<QColor>("base");
    QTest::addColumn<bool>("designColours");
    QTest::newRow("light") << QColor(Qt::white) << true;
    QTest::newRow("Adwaita dark") << QColor(0x2d, 0x2d, 0x2d) << false;
    QTest::newRow("black") << QColor(Qt::black) << false;
}

void MainWindowTest::designColoursReadOnAnyPalette()
{
    QFETCH(QColor, base);
    QFETCH(bool, designColours);
    m_drive->write(QStringLiteral("CONFIG.SYS"), "DEVICE=C:\\GONE.SYS\r\nFILES=40\r\n");
    QPalette palette = QApplication::palette();
    const bool dark = base.lightness() < 128;
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button})
        palette.setColor(role, base);
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(role, dark ? QColor(Qt::white) : QColor(Qt::black));
    const QPalette before = QApplication::palette();
    QApplication::setPalette(palette);
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
    Windows &w = start();
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    LineListView *view = w.list("ConfigMemo");
    QTRY_VERIFY(view->isVisible());
    QTRY_VERIFY(view->model()->index(0, 0).data(Qt::ToolTipRole).isValid());
    // The most contrasting reddish pixel of the marked row, as painted.
    const QImage row = view->viewport()->grab(view->visualRect(view->model()->index(0, 0))).toImage();
    QColor text = base;
    for (int y = 0; y < row.height(); ++y) {
        for (int x = 0; x < row.width(); ++x) {
            const QColor c = row.pixelColor(x, y);
            if (c.red() > c.green() + 40 && contrastRatio(c, base) > contrastRatio(text, base))
                text = c;
        }
    }
    const QColor maroon(0x80, 0, 0);
    if (designColours)
        QCOMPARE(text, maroon);
    else
        QVERIFY2(contrastRatio(text, base) >= 4.4 && qAbs(text.hslHue() - maroon.hslHue()) <= 2, qPrintable(text.name()));
    // The options page's divider: one line of the palette's dark shade.
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabO"));
    QWidget *divider = w.child("Bevel1");
    QTRY_VERIFY(divider->isVisible());
    const QImage line = divider->grab().toImage();
    const QRgb shade = divider->palette().color(QPalette::Dark).rgb();
    QCOMPARE(line.pixel(line.width() / 2, 0), shade);
    QVERIFY(line.pixel(line.width() / 2, 4) != shade);
    // The dialog's messages likewise, against its background.
    whileModal([&](QDialog *d) {
        for (const auto &[label, design] : {std::pair("fins", maroon), std::pair("ok", QColor(0, 0, 0x80))}) {
            const QColor colour(QRegularExpression(QStringLiteral("#[0-9a-f]{6}"))
                                    .match(m_windows->dialogChild<QLabel>(label)->styleSheet())
                                    .captured());
            if (designColours)
                QCOMPARE(colour, design);
            else
                QVERIFY2(contrastRatio(colour, d->palette().color(QPalette::Window)) >= 4.5
                             && colour.hslHue() == design.hslHue(),
                         qPrintable(colour.name()));
        }
    });
    doubleClickRow(view, 1);
}

// A folder dropped on the window is the machine from then on, loaded as at
// start; with an edited line the user is asked first, and a refusal keeps
// the machine and its edits; a machine that cannot be opened is one box.
void MainWindowTest::droppedFolderOpensAsTheMachine()
{
    Windows &w = start();
    ScratchDrive other;
    other.writeMachine();
    other.write(QStringLiteral("CONFIG.SYS"), "REM the dropped machine\r\n");
    QList<QByteArray> asked;
    bool refuse = false;
    w.form->setMachineOpener([&](const QList<QByteArray> &disks) -> Result<bool> {
        asked = disks;
        if (refuse)
            return Failed{QStringLiteral("x.img inneholder ingen FAT-stasjon")};
        DriveMap next(DriveMap::none());
        next.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(disks.first()));
        m_drive->drives = std::move(next); // the drives the windows read
        return true;
    });
    const auto drop = [&w](const QString &path) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(w.form.get(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(w.form.get(), &dropped);
        return true;
    };
    const auto firstConfigLine = [&w] { return w.list("ConfigMemo")->model()->index(0, 0).data().toString(); };

    // An edited line: "No" keeps the machine and the edit.
    LineListView *config = w.list("ConfigMemo");
    w.child<QTabWidget>("PageControl")->setCurrentWidget(w.child("TabSheet4"));
    whileModal([&](QDialog *) {
        m_windows->dialogChild<QLineEdit>("ny")->setText(QStringLiteral("REM edited"));
        QTest::mouseClick(m_windows->dialogChild<QPushButton>("BitBtn1"), Qt::LeftButton);
    });
    doubleClickRow(config, 0);
    QCOMPARE(firstConfigLine(), QStringLiteral("REM edited"));
    whileModal([](QDialog *question) { question->reject(); });
    QVERIFY(drop(other.dir.path()));
    QVERIFY(asked.isEmpty());
    QCOMPARE(firstConfigLine(), QStringLiteral("REM edited"));

    // Asked again and confirmed: the dropped machine, as at start.
    whileModal([](QDialog *question) {
        QTest::mouseClick(qobject_cast<QMessageBox *>(question)->button(QMessageBox::Yes), Qt::LeftButton);
    });
    QVERIFY(drop(other.dir.path()));
    QCOMPARE(asked, QList<QByteArray>{QFile::encodeName(other.dir.path())});
    QCOMPARE(firstConfigLine(), QStringLiteral("REM the dropped machine"));

    // Nothing edited since: no question; a machine that cannot be opened is
    // one failure box and the lines stay.
    refuse = true;
    QVERIFY(drop(QStringLiteral("/tmp/x.img")));
    QCOMPARE(m_failures->messages, QStringList{QStringLiteral("x.img inneholder ingen FAT-stasjon")});
    QCOMPARE(firstConfigLine(), QStringLiteral("REM the dropped machine"));
}

// Started without any drive, the box says what it always said and offers to
// choose a folder or a disk image, or to end the program; a chosen folder
// opens as the machine. Ctrl+O opens the same chooser.
void MainWindowTest::noDriveBoxChoosesAMachine_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("Velg mappe") << "Velg &mappe ...";
    QTest::newRow("Avslutt") << "Avs&lutt";
    QTest::newRow("Ctrl+O") << QString();
}

void MainWindowTest::noDriveBoxChoosesAMachine()
{
    QFETCH(QString, button);
    QTemporaryDir home;
    DriveMap drives([&home](QChar letter) {
        return std::make_shared<DirectoryDrive>(home.path() + QStringLiteral("/.wine/dosdevices/") + letter.toLower()
                                                + QLatin1Char(':'));
    });
    ScratchDrive machine;
    machine.writeMachine();
    machine.write(QStringLiteral("CONFIG.SYS"), "REM the chosen machine\r\n");
    const bool ctrlO = button.isEmpty();
    Windows w(ctrlO ? m_drive->drives : drives);
    w.form->setMachineOpener([&](const QList<QByteArray> &disks) -> Result<bool> {
        DriveMap next(DriveMap::none());
        next.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(disks.first()));
        (ctrlO ? m_drive->drives : drives) = std::move(next);
        return true;
    });
    // In the chooser: the machine's folder, then "Åpne".
    const auto chooseTheMachine = [&machine] {
        whileModal([&machine](QDialog *chooser) {
            auto *view = chooser->findChild<QTreeView *>(QStringLiteral("mapper"));
            auto *model = qobject_cast<QFileSystemModel *>(view->model());
            QVERIFY(model);
            view->setCurrentIndex(model->index(machine.dir.path()));
            QTest::mouseClick(chooser->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Open), Qt::LeftButton);
        });
    };
    if (ctrlO) {
        QVERIFY(w.show());
        chooseTheMachine();
        QTest::keyClick(w.form.get(), Qt::Key_O, Qt::ControlModifier);
    } else {
        QString text;
        whileModal([&](QDialog *box) {
            text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
            if (button.startsWith(QLatin1String("Velg")))
                chooseTheMachine();
            for (QPushButton *b : box->findChildren<QPushButton *>()) {
                if (b->text() == button)
                    QTest::mouseClick(b, Qt::LeftButton);
            }
        });
        w.form->show();
        QVERIFY(text.contains(QLatin1String("--drive C=MAPPE")));
        QVERIFY(m_failures->messages.isEmpty());
        if (button == QLatin1String("Avs&lutt")) {
            QVERIFY(!w.form->isVisible());
            return;
        }
    }
    // The lists are made once the window's first frame is out.
    QTRY_VERIFY(w.list("ConfigMemo"));
    QTRY_COMPARE(w.list("ConfigMemo")->model()->index(0, 0).data().toString(), QStringLiteral("REM the chosen machine"));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
