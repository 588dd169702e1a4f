#pragma once

class QColor;
class QPainter;
class QRect;
class QScrollArea;
class QWidget;

// What the windows share of the keyboard focus.

// The first control, from `from` on in the focus chain (itself included),
// that lies below `within` and that Tab stops at; nullptr when there is none.
QWidget *firstTabStop(QWidget *from, const QWidget *within);

// The scroll area shows each control of its content as it gets the focus,
// once the event that moved the focus is done (so a window being shown is
// painted where it is scrolled to). It does not take the focus itself.
void followFocus(QScrollArea &area);

// The mark of the keyboard focus around `rect`: a dotted frame in `colour`,
// every other pixel. The styles' own marks read under 2 : 1 on white; one in
// the text's colour reads at well over the 3 : 1 a focus mark needs.
void drawFocusFrame(QPainter &painter, const QRect &rect, const QColor &colour);
