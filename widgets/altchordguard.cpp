#include "widgets/altchordguard.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

class AltChordGuard : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            // Ctrl+Alt is AltGr on some keyboards, which does type.
            const Qt::KeyboardModifiers mods = key->modifiers();
            if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key->text().isEmpty()
                && key->text().front().isPrint())
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void installAltChordGuard(QApplication &application)
{
    const QString name = QStringLiteral("vendral-alt-chord-guard");
    if (application.findChild<QObject *>(name, Qt::FindDirectChildrenOnly))
        return;
    auto *guard = new AltChordGuard(&application);
    guard->setObjectName(name);
    application.installEventFilter(guard);
}
