#pragma once

#include <QIcon>
#include <QStyle>

class QAbstractButton;

// The glyph of an OK or Cancel button: the style's standard icon for it.
// The style makes that icon of its built-in images in three sizes, and
// reads and decodes every one of them as the icon is made, which costs the
// window a tenth of its start. Where no icon theme is set, every screen
// shows one pixel per pixel and the style's single image is as large as
// the button's glyph, that one image is all the button ever draws, and is
// taken alone.
QIcon buttonGlyph(const QAbstractButton &button, QStyle::StandardPixmap which);
