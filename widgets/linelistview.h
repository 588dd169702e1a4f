#pragma once

#include "widgets/linemetrics.h"

#include <QHash>
#include <QListView>

#include <optional>

class LineList;
class QAction;

// Shows a LineList as a single-selection list. Every line is shown as it is,
// never cut short: the rows are as wide as the widest line, with a horizontal
// scroll bar when that is wider than the list (in a list of megabytes, the
// widest line that has been on screen). A selection the program sets
// scrolls just far enough to show the line; a click where there is no line
// keeps the selection, and a double-click anywhere in the list is reported,
// whether or not it hit a line. Ctrl+C and the context menu copy the
// selected line or all lines, as they now stand, to the clipboard. Return,
// Enter and F2 on a selected line are reported as a double-click, a line
// the keyboard reaches shows its tooltip, Left and Right scroll sideways,
// and Shift+F10 or the Menu key open the menu at the current line.
class LineListView : public QListView
{
    Q_OBJECT

public:
    explicit LineListView(QWidget *parent = nullptr);

    void setLineList(LineList *list);
    LineList *lineList() const { return m_list; }

    // The width of the widest line: of all lines in a list of ordinary size,
    // of those that have been on screen in a list of megabytes.
    int linesWidth() const;
    const LineMetrics &metrics() const;
    // Called as a line is drawn: a line wider than the rows widens them.
    void lineShown(int row, QByteArrayView line);

signals:
    void doubleClicked();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void linesChanged();
    void copySelectedLine() const;
    void copyAllLines() const;
    QPoint keyboardMenuPosition() const;

    LineList *m_list = nullptr;
    QAction *m_copyLine = nullptr;
    mutable std::optional<LineMetrics> m_metrics;
    mutable int m_linesWidth = -1;
    QHash<int, int> m_longLineWidths;
};
