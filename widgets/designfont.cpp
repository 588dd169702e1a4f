#include "widgets/designfont.h"

#include <QLabel>
#include <QStringList>

QFont designFont(int pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(pointSize);
    return font;
}

void growLabelsToFit(QWidget *window)
{
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->wordWrap())
            label->resize(label->size().expandedTo(label->sizeHint()));
    }
}
