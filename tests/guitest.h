#pragma once

#include "translations/language.h"
#include "scratchdrive.h"
#include "widgets/failurereport.h"
#include "widgets/linelistview.h"
#include "widgets/msdosform.h"
#include "widgets/rediger.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// Records failure reports instead of showing message boxes.
class FailureRecorder
{
public:
    FailureRecorder()
        : m_previous(failurereport::setSink([this](const QString &m) { messages.append(m); }))
    {
    }
    ~FailureRecorder() { failurereport::setSink(m_previous); }
    QStringList messages;

private:
    failurereport::Sink m_previous;
};

// The two windows as the program creates them, on a scratch drive.
struct Windows
{
    explicit Windows(const DriveMap &drives)
        : form(std::make_unique<TMsDosForm>(drives)),
          dialog(new TEndreForm(
              drives, [this](const QByteArray &path) { launched.append(path); }, form.get()))
    {
        form->setEditDialog(dialog);
    }

    bool show()
    {
        form->show();
        form->activateWindow();
        const bool active = QTest::qWaitForWindowActive(form.get());
        // The lists of the other pages are made on the turn after the first frame.
        QCoreApplication::sendPostedEvents();
        return active;
    }

    template <typename T = QWidget>
    T *child(const char *name) const { return form->findChild<T *>(QLatin1String(name)); }
    LineListView *list(const char *name) const { return child<LineListView>(name); }
    template <typename T = QWidget>
    T *dialogChild(const char *name) const { return dialog->findChild<T *>(QLatin1String(name)); }

    std::unique_ptr<TMsDosForm> form;
    TEndreForm *dialog; // owned by the form
    QList<QByteArray> launched;
};

// Per test: a drive with a small machine, recorded failure reports, and the
// windows once start() has shown them.
class WindowFixture
{
protected:
    void setUpFixture()
    {
        m_drive = std::make_unique<ScratchDrive>();
        m_drive->writeMachine();
        m_failures = std::make_unique<FailureRecorder>();
    }
    void tearDownFixture()
    {
        m_windows.reset();
        useLanguage(Language::Norwegian);
        m_failures.reset();
        m_drive.reset();
    }
    // The windows, made in `language`.
    Windows &start(Language language = Language::Norwegian)
    {
        useLanguage(language);
        m_windows = std::make_unique<Windows>(m_drive->drives);
        if (!m_windows->show())
            qWarning("the window did not become active");
        return *m_windows;
    }

    std::unique_ptr<ScratchDrive> m_drive;
    std::unique_ptr<FailureRecorder> m_failures;
    std::unique_ptr<Windows> m_windows;
};

inline QPoint rowCentre(LineListView *view, int row)
{
    view->scrollTo(view->model()->index(row, 0));
    return view->visualRect(view->model()->index(row, 0)).center();
}

inline void clickRow(LineListView *view, int row)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowCentre(view, row));
}

inline void doubleClickRow(LineListView *view, int row)
{
    const QPoint at = rowCentre(view, row);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

// The first and the last row shown whole.
inline std::pair<int, int> visibleRows(LineListView *view)
{
    const int height = view->viewport()->height();
    int first = view->indexAt(QPoint(2, 0)).row();
    if (view->visualRect(view->model()->index(first, 0)).top() < 0)
        ++first;
    int last = view->indexAt(QPoint(2, height - 1)).row();
    if (last < 0)
        last = view->model()->rowCount() - 1;
    while (last > first && view->visualRect(view->model()->index(last, 0)).bottom() >= height)
        --last;
    return {first, last};
}

// Runs `inside` while the next modal dialog is open, then makes sure it is
// closed, so a failed check never leaves exec() waiting.
inline void whileModal(std::function<void(QDialog *)> inside)
{
    QTimer::singleShot(0, [inside] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            QFAIL("no modal dialog is open");
            return;
        }
        // Offscreen, a new window is activated by request only.
        dialog->activateWindow();
        if (!QTest::qWaitFor([dialog] { return QApplication::activeWindow() == dialog; }))
            qWarning("the dialog did not become active");
        inside(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

enum class MenuItem { Missing, Disabled, Chosen };

// Opens a list's context menu and clicks the item of that caption, if it is
// there and enabled; the menu is closed in any case.
inline MenuItem chooseFromContextMenu(LineListView *view, const QString &caption)
{
    MenuItem found = MenuItem::Missing;
    QTimer::singleShot(0, [&found, caption] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *action : menu->actions()) {
            if (action->text() != caption)
                continue;
            found = action->isEnabled() ? MenuItem::Chosen : MenuItem::Disabled;
            if (action->isEnabled())
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        }
        if (menu->isVisible())
            menu->close();
    });
    const QPoint at(10, view->viewport()->height() - 3);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    return found;
}
