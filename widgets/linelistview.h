#pragma once

#include <QListView>

class LineList;

// Shows a LineList as a single-selection list. A selection the program sets
// scrolls just far enough to show the line; a click where there is no line
// keeps the selection, and a double-click anywhere in the list is reported,
// whether or not it hit a line.
class LineListView : public QListView
{
    Q_OBJECT

public:
    explicit LineListView(QWidget *parent = nullptr);

    void setLineList(LineList *list);
    LineList *lineList() const { return m_list; }

signals:
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    LineList *m_list = nullptr;
};
