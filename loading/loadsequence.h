#pragma once

#include "loading/configstate.h"
#include "loading/linereader.h"

#include <QByteArray>

class DriveMap;
struct StartupFile;

// Reads the five start-up files into a ConfigState: CONFIG.SYS and
// AUTOEXEC.BAT as lines, MSDOS.SYS through its line reader (filling the Paths
// and Options values), then WIN.INI and SYSTEM.INI from the Windows directory
// with their section headers. A file that cannot be read ends the load with a
// FileError; what was filled before it stays.
class LoadSequence
{
public:
    LoadSequence(ConfigState &state, const DriveMap &drives);

    void HentKnappClick();

private:
    // Reads WIN.INI and SYSTEM.INI from the Windows directory WD names.
    void scanini();
    // Replaces a file's lines (and its section list, if it has one).
    void readLines(const StartupFile &file);
    void readmsdosline();
    void scanpaths();
    void scanoptions();
    void parsepathline();
    void parseoptionline();
    bool cutThroughKey(const char *key);

    ConfigState &m;
    const DriveMap &m_drives;
    QByteArray m_msdosText;
    LineReader m_msdos{QByteArrayView()};
    QByteArray CurrentLine;
};

// The load the program runs when it starts, in the window and headless alike:
// BootDelayFlag starts out set, then the load sequence runs.
void loadAtStart(ConfigState &state, const DriveMap &drives);

// Upper-cases a line and drops its trailing blanks; leading blanks, tabs and
// everything else stay.
QByteArray normaliseMsDosLine(QByteArray line);

// Fills a section list with the lines of a full list that contain "[".
void collectSections(const LineList &full, LineList &sections);
