#pragma once

#include "drives/result.h"
#include "loading/startupsection.h"

#include <QByteArray>
#include <QList>

class DriveMap;

// The other half of a Windows 95/98 start-up, read from the drives as the
// lines of one page, a section per source in the order Windows runs them:
// the registry's RunServicesOnce, RunServices, RunOnce and Run keys of
// SYSTEM.DAT, the Run key of each USER.DAT (the Windows directory's and each
// profile's), each Startup folder, each USER.DAT's RunOnce, the StaticVxD
// entries, then WINSTART.BAT and DOSSTART.BAT. A source the machine lacks
// has no section; one that cannot be read is noted and the others are read.
struct StartupSources
{
    struct Unreadable
    {
        QByteArray source; // DOS path
        Failed failure;
    };

    QByteArray text; // the page's lines, "\r\n" after each
    QList<StartupSection> sections;
    QList<Unreadable> unreadable;

    static StartupSources read(const DriveMap &drives, const QByteArray &winDir);
};
