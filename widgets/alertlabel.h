#pragma once

#include <QLabel>

// A label whose text is news, such as the edit dialog's check result: a
// screen reader is given it as an alert, which it speaks as it appears
// (see installAccessibleRoles()). Otherwise a QLabel.
class AlertLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;
};
