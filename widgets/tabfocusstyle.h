#pragma once

#include <QProxyStyle>

// A tab bar's own style, with a clear mark on the tab that has the keyboard
// focus: a dotted frame in the label's colour, drawn over what the style
// draws (its own mark reads under 2 : 1 on a light background, where a focus
// mark needs 3 : 1). Set on the tab bar; it follows the application's style
// and the bar's palette.
class TabFocusStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
};
