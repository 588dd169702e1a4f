#include "app/vendralapplication.h"

#include "widgets/designfont.h"
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
    // The windows' font for every window, box, menu and tooltip: the line
    // edits lay out their first text in the application's font before they
    // take their window's, and the desktop's font would cost the start a
    // second font of its own.
    setFont(designFont());
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
