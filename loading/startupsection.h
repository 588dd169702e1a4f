#pragma once

#include <QByteArray>

// One section of the start-up page (the registry's Run keys, the Startup
// folders, the StaticVxD entries, WINSTART.BAT and DOSSTART.BAT) and where
// its lines come from, for whoever reads the lines by their source.
struct StartupSection
{
    enum class Kind {
        Programs,  // NAME=COMMAND: a Run key's values, a Startup folder's entries
        StaticVxD, // KEY=VXD: the StaticVxD of each key under ...\Services\VxD
        Batch,     // the lines of a batch file
    };

    int header = 0; // the header's line on the page
    Kind kind = Kind::Programs;
    // The DOS path of the hive, folder or batch file the lines come from.
    QByteArray source;
    // The registry key the header names ("HKLM\Software\..."); empty for a
    // folder or a batch file.
    QByteArray key;
};
