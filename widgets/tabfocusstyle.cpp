#include "widgets/tabfocusstyle.h"

#include "widgets/keyboardfocus.h"

#include <QPainter>
#include <QStyleOption>

void TabFocusStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    // The label is drawn after the tab's shape; the style marks the focus
    // only after a change made by the keyboard, and so does this.
    if (element != CE_TabBarTabLabel || !option || !(option->state & State_HasFocus)
        || !(option->state & State_KeyboardFocusChange))
        return;
    const QPalette::ColorGroup group = option->state & State_Enabled ? QPalette::Active : QPalette::Disabled;
    drawFocusFrame(*painter, option->rect.adjusted(3, 3, -3, -2), option->palette.color(group, QPalette::WindowText));
}
