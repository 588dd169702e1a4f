#pragma once

#include "loading/configstate.h"
#include "loading/sectionnavigation.h"

#include <QByteArray>

#include <array>

// The five start-up files of the PC, in the order of the window's pages:
// where each is read from, the lists of the window's state that hold it, the
// page and views that show it, and its key in the JSON report. Whoever needs
// "every start-up file" reads this table; the order in which the load reads
// them is written out in the load sequence itself.
struct StartupFile
{
    const char *key;          // "config.sys": the page's caption and the report's key
    const char *fixedPath;    // "C:\CONFIG.SYS"; nullptr for a file of the Windows directory
    const char *windowsName;  // "WIN.INI": its name in the Windows directory, else nullptr
    LineList ConfigState::*lines;    // the full list
    LineList ConfigState::*sections; // the section headers; nullptr when not listed
    sectionnavigation::Scrolling scrolling; // how a click on a header moves the full list
    const char *page;         // the page's object name
    const char *linesName;    // the full list's name in the state and in the window
    const char *sectionsName; // the section list's name, or nullptr

    // "C:\CONFIG.SYS", or the Windows directory as WD holds it now followed
    // by "\WIN.INI".
    QByteArray dosPath(const ConfigState &state) const;
};

namespace startupfiles {

extern const StartupFile msdosSys;
extern const StartupFile configSys;
extern const StartupFile autoexecBat;
extern const StartupFile winIni;
extern const StartupFile systemIni;

// All five, in page order.
extern const std::array<const StartupFile *, 5> all;

} // namespace startupfiles
