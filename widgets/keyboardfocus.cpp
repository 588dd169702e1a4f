#include "widgets/keyboardfocus.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>

QWidget *firstTabStop(QWidget *from, const QWidget *within)
{
    QWidget *w = from;
    for (int guard = 0; guard < 256; ++guard) {
        if ((w == within || within->isAncestorOf(w)) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled()
            && w->isVisibleTo(within))
            return w;
        w = w->nextInFocusChain();
        if (w == from)
            break;
    }
    return nullptr;
}

void followFocus(QScrollArea &area)
{
    area.setFocusPolicy(Qt::NoFocus);
    QObject::connect(qApp, &QApplication::focusChanged, &area, [&area](QWidget *, QWidget *now) {
        if (!now || !area.widget() || !area.widget()->isAncestorOf(now))
            return;
        QMetaObject::invokeMethod(
            &area, [&area, focused = QPointer<QWidget>(now)] {
                if (focused)
                    area.ensureWidgetVisible(focused);
            },
            Qt::QueuedConnection);
    });
}

void drawFocusFrame(QPainter &painter, const QRect &rect, const QColor &colour)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    QPen dots(colour, 1);
    dots.setDashPattern({1, 1});
    painter.setPen(dots);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}
