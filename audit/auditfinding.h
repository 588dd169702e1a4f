#pragma once

#include <QByteArray>
#include <QList>

// The five start-up files, in the order the machine reads them.
enum class StartupFile { MsDosSys, ConfigSys, AutoexecBat, SystemIni, WinIni };

// One file (or, for MSDOS.SYS, directory) that a line of a start-up file
// makes DOS or Windows load, and whether the drive has it.
struct AuditFinding
{
    StartupFile file = StartupFile::ConfigSys;
    int line = 0;       // index in the file's full list, from 0
    QByteArray name;    // as the line writes it
    QByteArray path;    // the DOS path where it was found; when missing,
                        // where it was looked for first (upper-cased)
    bool found = false;

    bool operator==(const AuditFinding &other) const
    {
        return file == other.file && line == other.line && name == other.name && path == other.path
            && found == other.found;
    }
};

using AuditFindings = QList<AuditFinding>;
