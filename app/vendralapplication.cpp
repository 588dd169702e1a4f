#include "app/vendralapplication.h"

#include "widgets/failurereport.h"

#include <QIcon>

VendralApplication::VendralApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("vendral"));
    setApplicationDisplayName(QStringLiteral("Vendral"));
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
