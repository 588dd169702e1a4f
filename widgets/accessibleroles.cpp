#include "widgets/accessibleroles.h"

#include <QAccessibleWidget>
#include <QFrame>

namespace {

QAccessibleInterface *plainFrameAsPane(const QString &className, QObject *object)
{
    if (className != QLatin1String("QFrame") || !object || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Pane);
}

} // namespace

void installAccessibleRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(plainFrameAsPane);
        return true;
    }();
    (void)installed;
}
