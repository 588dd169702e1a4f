// A whole session through the real widgets, after which not one file or
// directory of the drive has changed: names, sizes, contents, times.
//
// With VENDRAL_SESSION_DRIVE set, the session runs on that directory and the
// test itself writes nothing either (the no-writes check runs it under
// strace); otherwise it works on a fresh copy of the sample drive.
#include "guitest.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>

#include <sys/stat.h>

namespace {

// One line per entry: path, kind, size, times to the nanosecond, content hash.
QStringList snapshot(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList paths{root};
    while (it.hasNext())
        paths.append(it.next());
    for (const QString &path : paths) {
        struct stat st;
        if (lstat(QFile::encodeName(path).constData(), &st) != 0) {
            entries.append(path + QStringLiteral(" gone"));
            continue;
        }
        QByteArray hash;
        if (S_ISREG(st.st_mode)) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                hash = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
        }
        entries.append(QStringLiteral("%1 mode=%2 size=%3 mtime=%4.%5 ctime=%6.%7 %8")
                           .arg(path.mid(root.size()))
                           .arg(st.st_mode, 0, 8)
                           .arg(st.st_size)
                           .arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec)
                           .arg(st.st_ctim.tv_sec).arg(st.st_ctim.tv_nsec)
                           .arg(QString::fromLatin1(hash)));
    }
    entries.sort();
    return entries;
}

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (it.fileInfo().isDir() ? !QDir().mkpath(target) : !QFile::copy(source, target))
            return false;
    }
    return true;
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void aWholeSessionWritesNothing();
};

void SessionTest::aWholeSessionWritesNothing()
{
    QTemporaryDir scratch;
    QString root = qEnvironmentVariable("VENDRAL_SESSION_DRIVE");
    if (root.isEmpty()) {
        root = scratch.path() + QStringLiteral("/drive-c");
        QVERIFY(copyTree(qEnvironmentVariable("VENDRAL_EXAMPLES"), root));
    }
    const QStringList before = snapshot(root);
    QVERIFY(before.size() > 10);

    DriveMap drives(DriveMap::none());
    drives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(root));
    FailureRecorder failures;
    Windows w(drives);
    QVERIFY(w.show());
    QVERIFY(failures.messages.isEmpty());
    auto *pages = w.child<QTabWidget>("PageControl");

    // An accepted edit in every full list, on a line the dialog opens for.
    const std::pair<const char *, const char *> lists[] = {
        {"TabSheet3", "msdosmemo"}, {"TabSheet4", "ConfigMemo"}, {"TabSheet5", "AutoMemo"},
        {"TabSheet6", "Wininimemo"}, {"TabSheet7", "systeminimemo"}};
    for (const auto &[page, list] : lists) {
        pages->setCurrentWidget(w.child(page));
        LineListView *view = w.list(list);
        QTRY_VERIFY(view->isVisible());
        const int row = QByteArray(list) == "msdosmemo" ? 1 : 0; // WinDir=, not an option line
        whileModal([&w](QDialog *) {
            auto *ny = w.dialogChild<QLineEdit>("ny");
            QTest::keyClicks(ny, QStringLiteral("X"));
            QTest::keyClick(ny, Qt::Key_Return);
        });
        doubleClickRow(view, row);
        QVERIFY(view->lineList()->line(row).endsWith('X'));
    }

    // A check, "Fix" and "Kjør .." in the dialog, on the country line.
    pages->setCurrentWidget(w.child("TabSheet4"));
    LineListView *config = w.list("ConfigMemo");
    int country = -1;
    for (int i = 0; i < config->lineList()->count(); ++i) {
        if (config->lineList()->line(i).toUpper().startsWith("COUNTRY="))
            country = i;
    }
    QVERIFY(country >= 0);
    whileModal([&w](QDialog *) {
        QTest::mouseClick(w.dialogChild<QPushButton>("FixKnapp"), Qt::LeftButton);
        QTest::mouseClick(w.dialogChild<QPushButton>("sjekkknapp"), Qt::LeftButton);
        QVERIFY(w.dialogChild<QLabel>("ok")->isVisible());
        w.dialogChild<QLineEdit>("ny")->setText(QStringLiteral("x=C:\\WINDOWS\\EMM386.EXE"));
        QTest::mouseClick(w.dialogChild<QPushButton>("sjekkknapp"), Qt::LeftButton);
        QTest::mouseClick(w.dialogChild<QPushButton>("RunKnapp"), Qt::LeftButton);
        QTest::mouseClick(w.dialogChild<QPushButton>("BitBtn1"), Qt::LeftButton);
    });
    doubleClickRow(config, country);
    QCOMPARE(w.launched, (QList<QByteArray>{"C:\\WINDOWS\\EMM386.EXE"}));

    // The edits carried off through the clipboard: a line, then all lines.
    clickRow(config, country);
    QTest::keyClick(config, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("x=C:\\WINDOWS\\EMM386.EXE"));
    QCOMPARE(chooseFromContextMenu(config, QStringLiteral("Kopier alle linjer")), MenuItem::Chosen);
    QCOMPARE(QGuiApplication::clipboard()->text().count(QLatin1Char('\n')), config->lineList()->count() - 1);

    // The chooser of Ctrl+O, looked through and cancelled: it records
    // nothing (Qt's own file dialog would write its history under $HOME).
    whileModal([&root](QDialog *chooser) {
        auto *view = chooser->findChild<QTreeView *>(QStringLiteral("mapper"));
        auto *model = qobject_cast<QFileSystemModel *>(view->model());
        QVERIFY(model);
        view->setCurrentIndex(model->index(root + QStringLiteral("/WINDOWS")));
        chooser->reject();
    });
    QTest::keyClick(w.form.get(), Qt::Key_O, Qt::ControlModifier);

    // Options toggled, a field typed in, a reload, and the end.
    pages->setCurrentWidget(w.child("TabO"));
    QTest::mouseClick(w.child("NW"), Qt::LeftButton, {}, QPoint(5, 8));
    QTest::keyClicks(w.child("WV"), QStringLiteral("9"));
    QTest::mouseClick(w.child("HentKnapp"), Qt::LeftButton);
    QVERIFY(failures.messages.isEmpty());
    QTest::mouseClick(w.child("BitBtn2"), Qt::LeftButton);
    QTRY_VERIFY(!w.form->isVisible());

    QCOMPARE(snapshot(root), before);
}

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
