#pragma once

#include <QFrame>

// A line of one pixel across the top of the frame, in the palette's dark
// shade: the divider under a page's heading. Drawn by the frame itself, as
// a style sheet would cost the window a style of its own.
class TopLine : public QFrame
{
    Q_OBJECT

public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent *event) override;
};
