#pragma once

#include <QApplication>

// The application object. Handlers are wired through the failure report, and
// anything that still escapes from event delivery is caught here and reported
// the same way, so the event loop always goes on.
class VendralApplication : public QApplication
{
    Q_OBJECT

public:
    VendralApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
