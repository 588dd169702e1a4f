#include "widgets/accessibleroles.h"

#include <QAccessibleWidget>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

namespace {

// A dialog that says whether it is modal: a screen reader then keeps to it.
class DialogInterface : public QAccessibleWidget
{
public:
    explicit DialogInterface(QWidget *dialog) : QAccessibleWidget(dialog, QAccessible::Dialog) {}
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.modal = widget()->isModal() || widget()->windowModality() != Qt::NonModal;
        return state;
    }
};

QAccessibleInterface *roleFor(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    // A tab widget's page is a panel named after its tab: a screen reader
    // names it when the focus moves into it from another page.
    if (className == QLatin1String("QWidget") && qobject_cast<QStackedWidget *>(widget->parentWidget())
        && qobject_cast<QTabWidget *>(widget->parentWidget()->parentWidget()))
        return new QAccessibleWidget(widget, QAccessible::Pane);
    if (className == QLatin1String("QFrame"))
        return new QAccessibleWidget(widget, QAccessible::Pane);
    if (className == QLatin1String("AlertLabel"))
        return new QAccessibleWidget(widget, QAccessible::Notification);
    if (className == QLatin1String("TEndreForm"))
        return new DialogInterface(widget);
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
