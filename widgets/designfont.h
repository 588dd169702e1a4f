#pragma once

#include <QFont>

// The forms' font: MS Sans Serif at 8 points where the host has it, else a
// sans-serif font of the same widths.
QFont designFont(int pointSize = 8);

class QWidget;

// Grows every label of a window from its designed left edge to the size its
// caption needs in the font it got, so no caption is cut off; never shrinks.
void growLabelsToFit(QWidget *window);
