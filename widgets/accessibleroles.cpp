#include "widgets/accessibleroles.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace {

QAccessibleInterface *roleFor(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("QFrame"))
        return new QAccessibleWidget(widget, QAccessible::Pane);
    if (className == QLatin1String("AlertLabel"))
        return new QAccessibleWidget(widget, QAccessible::AlertMessage);
    return nullptr;
}

} // namespace

void installAccessibleRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(roleFor);
        return true;
    }();
    (void)installed;
}
