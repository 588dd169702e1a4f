#pragma once

#include "loading/loadsequence.h"

#include <QList>

struct ConfigState;
struct StartupFile;
class DriveMap;

// Reads the start-up files as the window's load does, except that a file
// that cannot be read is noted and taken as empty, so the files after it
// are still read and audited: a machine without CONFIG.SYS still has an
// AUTOEXEC.BAT and a SYSTEM.INI worth looking through. The notes come in
// the audit's load order.
QList<UnreadableFile> loadForAudit(ConfigState &state, const DriveMap &drives);
