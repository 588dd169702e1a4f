#include "widgets/linelistview.h"

#include "loading/linelist.h"

#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Rows are 13 pixels high, or as high as the font needs if that is more.
class LineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(13, option.fontMetrics.height()));
        return size;
    }
};

} // namespace

LineListView::LineListView(QWidget *parent) : QListView(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height: the view then never measures all rows,
    // which keeps lists of hundreds of thousands of lines instant.
    setUniformItemSizes(true);
    setItemDelegate(new LineDelegate(this));
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
    connect(list, &LineList::selectionSetByProgram, this,
            [this](const QModelIndex &index) { scrollTo(index, QAbstractItemView::EnsureVisible); });
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
