#pragma once

#include <QColor>

// The contrast of two colours as WCAG defines it, from 1 (none) to 21.
double contrastRatio(const QColor &a, const QColor &b);

// The colour itself when it reads at `ratio` against the background; else
// the nearest colour of the same hue and saturation that does, lighter on a
// dark background and darker on a light one. The design's maroon and navy
// stay as they are on a light palette and stay maroon and navy on a dark one.
QColor readableOn(const QColor &colour, const QColor &background, double ratio = 4.5);
