#pragma once

#include "loading/startupfiles.h"

#include <QByteArray>
#include <QList>

#include <array>

// The order in which the machine reads its start-up files, which the audit
// reports in.
inline const std::array<const StartupFile *, 5> kLoadOrder{
    &startupfiles::msdosSys, &startupfiles::configSys, &startupfiles::autoexecBat,
    &startupfiles::systemIni, &startupfiles::winIni};

// One file (or, for MSDOS.SYS, directory) that a line of a start-up file
// makes DOS or Windows load, and whether the drive has it.
struct AuditFinding
{
    const StartupFile *file = nullptr;
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
