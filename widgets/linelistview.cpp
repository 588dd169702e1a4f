#include "widgets/linelistview.h"

#include "drives/ansitext.h"
#include "loading/linelist.h"
#include "widgets/keyboardfocus.h"
#include "widgets/readablecolour.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <cmath>

namespace {

// Lines up to this length are drawn whole; of a longer line only the part on
// screen is laid out, so even a line of megabytes scrolls smoothly.
constexpr qsizetype kDrawnWhole = 1024;
// Lists holding up to this much text have all their lines measured at once.
constexpr qsizetype kMeasuredWhole = 1024 * 1024;

int textMargin(const QWidget *widget)
{
    return widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

// Draws each line from its bytes, unelided. Rows are 13 pixels high, or as
// high as the font needs if that is more, and as wide as the widest line.
class LineDelegate : public QStyledItemDelegate
{
public:
    explicit LineDelegate(LineListView *view) : QStyledItemDelegate(view), m_view(view) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {m_view->linesWidth() + 2 * textMargin(m_view), std::max(13, option.fontMetrics.height())};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        // A row of a very long line is far wider than any screen: only its
        // visible part is painted.
        const QRect shown = m_view->viewport()->rect().adjusted(-8, 0, 8, 0);
        const QRect row = opt.rect;
        opt.rect = row.intersected(QRect(shown.left(), row.top(), shown.width(), row.height()));
        if (opt.rect.isEmpty())
            return;
        m_view->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, m_view);

        const QByteArrayView line = m_view->lineList()->lineView(index.row());
        m_view->lineShown(index.row(), line);
        const LineMetrics &metrics = m_view->metrics();
        qreal x = row.left() + textMargin(m_view);
        QByteArrayView part = line;
        if (line.size() > kDrawnWhole) {
            const LineMetrics::Position start = metrics.byteAt(line, shown.left() - x);
            const qsizetype length = metrics.byteAt(line.sliced(start.byte), shown.right() - x - start.x).byte + 1;
            part = line.sliced(start.byte, std::min(length, line.size() - start.byte));
            x += start.x;
        }
        const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                         : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                                : QPalette::Inactive;
        painter->save();
        // A line's colour (a mark's maroon among them) is kept where it reads
        // against the list's background, and brought to where it does on a
        // dark one.
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(readableOn(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text),
                                   opt.palette.color(group, selected ? QPalette::Highlight : QPalette::Base)));
        painter->setFont(opt.font);
        painter->setClipRect(opt.rect);
        const qreal baseline = row.top() + (row.height() - opt.fontMetrics.height()) / 2.0 + opt.fontMetrics.ascent();
        // The text between control characters is drawn in runs; a control
        // character is a blank of its own width.
        qsizetype run = 0;
        for (qsizetype i = 0; i <= part.size(); ++i) {
            if (i < part.size() && !LineMetrics::isControl(part[i]))
                continue;
            if (i > run) {
                const QByteArrayView text = part.sliced(run, i - run);
                painter->drawText(QPointF(x, baseline), ansi::decode(text));
                if (i < part.size())
                    x += metrics.width(text);
            }
            if (i < part.size())
                x += metrics.advance(part[i]);
            run = i + 1;
        }
        // The style's focus frame on the current row is faint.
        if ((opt.state & QStyle::State_HasFocus) && m_view->hasFocus()) {
            painter->setClipping(false);
            drawFocusFrame(*painter, opt.rect.intersected(m_view->viewport()->rect()),
                           opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        }
        painter->restore();
    }

private:
    LineListView *m_view;
};

} // namespace

LineListView::LineListView(QWidget *parent) : QListView(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height: the view then never measures all rows,
    // which keeps lists of hundreds of thousands of lines instant.
    setUniformItemSizes(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setItemDelegate(new LineDelegate(this));

    // Vendral writes no file: a line tried out here is carried to the PC by
    // hand, through the clipboard.
    m_copyLine = new QAction(tr("Kopier linje"), this);
    // Shown in the menu; the key itself reaches keyPressEvent, as the item
    // view claims it before any shortcut.
    m_copyLine->setShortcut(QKeySequence::Copy);
    m_copyLine->setShortcutContext(Qt::WidgetShortcut);
    m_copyLine->setEnabled(false);
    connect(m_copyLine, &QAction::triggered, this, &LineListView::copySelectedLine);
    auto *copyAll = new QAction(tr("Kopier alle linjer"), this);
    connect(copyAll, &QAction::triggered, this, &LineListView::copyAllLines);
    addActions({m_copyLine, copyAll});
}

void LineListView::setLineList(LineList *list)
{
    m_list = list;
    setModel(list);
    // The list keeps its own selection, so it can be read and set without a
    // view; the one setModel() made for the view is not needed.
    QItemSelectionModel *made = selectionModel();
    setSelectionModel(list->selectionModel());
    delete made;
    const auto selectionShown = [this] { m_copyLine->setEnabled(m_list->selectedIndex() >= 0); };
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, selectionShown);
    connect(list, &QAbstractItemModel::modelReset, this, selectionShown);
    selectionShown();
    connect(list, &LineList::selectionSetByProgram, this,
            [this](const QModelIndex &index) { scrollTo(index, QAbstractItemView::EnsureVisible); });
    connect(list, &QAbstractItemModel::modelReset, this, &LineListView::linesChanged);
    connect(list, &QAbstractItemModel::rowsInserted, this, &LineListView::linesChanged);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &LineListView::linesChanged);
    connect(list, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) {
                    linesChanged();
                    // An edited line may be wider or narrower than the rows.
                    scheduleDelayedItemsLayout();
                }
            });
}

const LineMetrics &LineListView::metrics() const
{
    if (!m_metrics)
        m_metrics.emplace(font());
    return *m_metrics;
}

int LineListView::linesWidth() const
{
    if (m_linesWidth < 0) {
        m_linesWidth = 0;
        // A list of ordinary size is measured whole, so its scroll bar is
        // there from the start; the lines of a list of megabytes are measured
        // as they come into view, so that its load costs no pass over them.
        if (m_list && m_list->bytesHeld() <= kMeasuredWhole) {
            qreal widest = 0;
            for (int i = 0, n = m_list->count(); i < n; ++i)
                widest = std::max(widest, metrics().width(m_list->lineView(i)));
            m_linesWidth = int(std::ceil(widest));
        }
    }
    return m_linesWidth;
}

void LineListView::lineShown(int row, QByteArrayView line)
{
    const int widest = linesWidth();
    // A long line is measured once; the rest are cheaper to measure again.
    int width = 0;
    if (line.size() > kDrawnWhole) {
        auto known = m_longLineWidths.constFind(row);
        if (known == m_longLineWidths.cend())
            known = m_longLineWidths.insert(row, int(std::ceil(metrics().width(line))));
        width = *known;
    } else {
        width = int(std::ceil(metrics().width(line)));
    }
    if (width > widest) {
        m_linesWidth = width;
        scheduleDelayedItemsLayout();
    }
}

void LineListView::linesChanged()
{
    m_linesWidth = -1;
    m_longLineWidths.clear();
}

void LineListView::contextMenuEvent(QContextMenuEvent *event)
{
    // A menu is a window of its own: it gets the list's font, not Qt's.
    QMenu menu(this);
    menu.setFont(font());
    menu.addActions(actions());
    menu.exec(event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : keyboardMenuPosition());
}

QPoint LineListView::keyboardMenuPosition() const
{
    // At the current line where it shows: its row may be far wider than the
    // list, and its middle far off to the side.
    const QRect shown = visualRect(currentIndex()).intersected(viewport()->rect());
    const QPoint at = shown.isEmpty() ? viewport()->rect().topLeft() : QPoint(shown.left() + 8, shown.center().y());
    return viewport()->mapToGlobal(at);
}

void LineListView::keyPressEvent(QKeyEvent *event)
{
    // The item view's own copy takes the current row's shown text, which
    // may be cut short; the line itself is copied.
    if (event == QKeySequence::Copy) {
        copySelectedLine();
        event->accept();
        return;
    }
    // Return, Enter and F2 open the selected line as a double-click does,
    // so the keyboard can edit what the mouse can.
    const int key = event->key();
    // Shift+F10 opens the context menu, as the Menu key does.
    if (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), keyboardMenuPosition());
        contextMenuEvent(&menu);
        event->accept();
        return;
    }
    // Left and Right show the rest of a line wider than the list, as the
    // scroll bar would, which cannot take the focus.
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && event->modifiers() == Qt::NoModifier) {
        horizontalScrollBar()->triggerAction(key == Qt::Key_Right ? QAbstractSlider::SliderSingleStepAdd
                                                                  : QAbstractSlider::SliderSingleStepSub);
        event->accept();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2)
        && !(event->modifiers() & ~Qt::KeypadModifier) && m_list && m_list->selectedIndex() >= 0) {
        emit doubleClicked();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void LineListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QListView::currentChanged(current, previous);
    // What a mark's tooltip says is shown when the keyboard reaches the
    // line, as the mouse shows it on hover; nothing moves in the window.
    if (!hasFocus() || !current.isValid())
        return;
    const QString tip = current.data(Qt::ToolTipRole).toString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    const QRect row = visualRect(current);
    QToolTip::showText(viewport()->mapToGlobal(QPoint(row.left(), row.bottom())), tip, viewport(), row);
}

void LineListView::copySelectedLine() const
{
    if (m_list && m_list->selectedIndex() >= 0)
        QGuiApplication::clipboard()->setText(ansi::decode(m_list->selectedLine()));
}

void LineListView::copyAllLines() const
{
#ifdef Q_OS_WIN
    const QByteArrayView lineBreak = "\r\n";
#else
    const QByteArrayView lineBreak = "\n";
#endif
    QByteArray text;
    for (int i = 0, n = m_list ? m_list->count() : 0; i < n; ++i) {
        if (i > 0)
            text += lineBreak;
        text += m_list->lineView(i);
    }
    QGuiApplication::clipboard()->setText(ansi::decode(text));
}

void LineListView::changeEvent(QEvent *event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_metrics.reset();
        linesChanged();
        scheduleDelayedItemsLayout();
    }
}

void LineListView::mousePressEvent(QMouseEvent *event)
{
    // The item view takes a press where there is no line for a selection of
    // nothing and clears the selected line; here it only takes the focus, so
    // a double-click below the lines edits the line that is selected.
    if (!indexAt(event->position().toPoint()).isValid()) {
        setFocus(Qt::MouseFocusReason);
        return;
    }
    QListView::mousePressEvent(event);
}

void LineListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}
