#include "widgets/buttonglyph.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <algorithm>

QIcon buttonGlyph(const QAbstractButton &button, QStyle::StandardPixmap which)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    const bool onePixelPerPixel = std::all_of(screens.cbegin(), screens.cend(),
                                              [](const QScreen *screen) { return screen->devicePixelRatio() == 1.0; });
    if (QIcon::themeName().isEmpty() && onePixelPerPixel) {
        const QPixmap glyph = button.style()->standardPixmap(which, nullptr, &button);
        if (!glyph.isNull() && glyph.width() >= button.iconSize().width()
            && glyph.height() >= button.iconSize().height())
            return QIcon(glyph);
    }
    return button.style()->standardIcon(which, nullptr, &button);
}
