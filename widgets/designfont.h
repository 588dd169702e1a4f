#pragma once

#include <QFont>

// The forms' font: MS Sans Serif at 8 points where the host has it, else a
// sans-serif font of the same widths.
QFont designFont(int pointSize = 8);
