#include "widgets/pageturning.h"

#include "widgets/keyboardfocus.h"

#include <QApplication>
#include <QEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

namespace {

// On a page's own hide (the tab widget turning away from it, not the window
// closing), the focus inside it is let go first. Qt would otherwise move it
// to the next control in the chain; the tab widget then gives it to the new
// page, which it does either way.
class FocusReleaseOnTurn : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && !event->spontaneous()) {
            auto *page = static_cast<QWidget *>(watched);
            QWidget *focused = QApplication::focusWidget();
            if (page->isHidden() && focused && page->isAncestorOf(focused))
                focused->clearFocus();
        }
        return false;
    }
};

// The control a page gives the focus to: the one it had last, else its first
// in the tab order, which follows the tab strip.
QWidget *focusTargetIn(const QTabWidget &pages, QWidget *page)
{
    if (QWidget *remembered = page->focusWidget())
        return remembered;
    QWidget *first = firstTabStop(pages.tabBar()->nextInFocusChain(), page);
    return first ? first : page;
}

void turn(QTabWidget &pages, int step)
{
    const int count = pages.count();
    if (count < 2)
        return;
    QWidget *focused = QApplication::focusWidget();
    const bool onTabs = focused == pages.tabBar() || focused == &pages;
    int index = pages.currentIndex();
    for (int tried = 1; tried < count; ++tried) {
        index = (index + step + count) % count;
        if (pages.isTabEnabled(index))
            break;
    }
    pages.setCurrentIndex(index);
    if (!onTabs && focused && !pages.currentWidget()->isAncestorOf(QApplication::focusWidget()))
        focusTargetIn(pages, pages.currentWidget())->setFocus(Qt::TabFocusReason);
}

} // namespace

void installPageTurning(QTabWidget &pages)
{
    auto *release = new FocusReleaseOnTurn(&pages);
    for (int i = 0; i < pages.count(); ++i)
        pages.widget(i)->installEventFilter(release);

    QWidget *window = pages.window();
    const struct
    {
        QKeySequence keys;
        int step;
    } turns[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), +1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
    };
    for (const auto &t : turns) {
        auto *shortcut = new QShortcut(t.keys, window);
        const int step = t.step;
        QObject::connect(shortcut, &QShortcut::activated, &pages, [&pages, step] { turn(pages, step); });
    }
}
