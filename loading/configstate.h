#pragma once

#include "loading/linelist.h"
#include "loading/startupsection.h"

#include <QList>

#include <QByteArray>

// Everything the configuration window holds: the values read from MSDOS.SYS
// and the lines of the five start-up files. Texts are Windows-1252 bytes.
struct ConfigState
{
    // Paths and Options text fields.
    QByteArray WD, WBD, HWBD, WV;
    // Options flags.
    bool BM = false, BGUI = false, DB = false, ASC = false, BD = false, NW = false;
    // The value BD takes when the options pass ends; not shown.
    bool BootDelayFlag = false;

    LineList msdosmemo, msdoslist;
    LineList ConfigMemo, AutoMemo;
    LineList Wininimemo, WinIniList;
    LineList systeminimemo, systeminilist;
    // The start-up page: the registry's Run keys, the Startup folders,
    // StaticVxD, WINSTART.BAT and DOSSTART.BAT, and where each section's
    // lines come from.
    LineList startupmemo, startuplist;
    QList<StartupSection> startupSections;
};
