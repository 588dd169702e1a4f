#include "app/vendralapplication.h"

#include "widgets/failurereport.h"

#include <QIcon>

VendralApplication::VendralApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // The desktop knows the program as Vendral by these two: the window class
    // and the menu entry. A display name is not set: Qt would append it to
    // every caption.
    setApplicationName(QStringLiteral("Vendral"));
    setDesktopFileName(QStringLiteral(VENDRAL_APP_ID));
    setWindowIcon(QIcon(QStringLiteral(":/vendral/vendral.png")));
}

bool VendralApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &failure) {
        failurereport::report(failure);
        return false;
    }
}
