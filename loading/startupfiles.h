#pragma once

#include "loading/configstate.h"
#include "loading/sectionnavigation.h"

#include <QByteArray>

#include <array>
#include <cstddef>

// The start-up files of the PC, one row each: where the file is read from
// and whether it may be absent, the lists of the window's state that hold it,
// the page and views that show it, what a double-click on a line does, the
// rules its audit applies, and its key in the JSON report. Whoever needs
// "every start-up file" iterates these rows, in page order (all), in the
// order the program reads them (loadOrder) or in the order the machine does
// (bootOrder); adding a file is a row plus its page.
struct StartupFile
{
    // How the load reads the file: as lines, through the MSDOS.SYS reader
    // that fills the Paths and Options values, or gathered from the
    // registry, the Startup folders and the Windows batch files.
    enum class Reader { Lines, MsDosSys, StartupSources };
    // What a double-click on a line does: open the edit dialog, or first try
    // the Options page's check box the line names.
    enum class LineDoubleClick { Edit, OptionOrEdit };
    // Which rules the audit reads the lines with.
    enum class AuditRules { MsDosSys, ConfigSys, Batch, SystemIni, WinIni, StartupSources };

    const char *key;          // "config.sys": the page's caption and the report's key
    const char *fixedPath;    // "C:\CONFIG.SYS"; nullptr for a file of the Windows directory
    const char *windowsName;  // "WIN.INI": its name in the Windows directory, else nullptr
                              // (the start-up page, read from many files there, has neither)
    bool mayBeAbsent;         // a machine may lack it: its absence is no failure
    Reader reader;
    LineList ConfigState::*lines;    // the full list
    LineList ConfigState::*sections; // the section headers; nullptr when not listed
    sectionnavigation::Scrolling scrolling; // how a click on a header moves the full list
    LineDoubleClick doubleClick;
    AuditRules audit;
    const char *page;         // the page's object name
    const char *linesName;    // the full list's name in the state and in the window
    const char *sectionsName; // the section list's name, or nullptr

    // "C:\CONFIG.SYS", or the Windows directory as WD holds it now followed
    // by "\WIN.INI"; the Windows directory itself for the start-up page.
    QByteArray dosPath(const ConfigState &state) const;
    bool inWindowsDirectory() const { return windowsName != nullptr; }
    // Whether the row is one file of its own (the start-up page is gathered
    // from many).
    bool isOneFile() const { return reader != Reader::StartupSources; }
};

namespace startupfiles {

constexpr std::size_t kCount = 6;
using Files = std::array<const StartupFile *, kCount>;

extern const StartupFile msdosSys;
extern const StartupFile configSys;
extern const StartupFile autoexecBat;
extern const StartupFile winIni;
extern const StartupFile systemIni;
extern const StartupFile startup;

// In page order.
extern const Files all;
// In the order the load reads them: the Windows directory's files after
// MSDOS.SYS, which names that directory.
extern const Files loadOrder;
// In the order the machine reads them at boot, which the audit reports in.
extern const Files bootOrder;

// Where a file stands in an order.
std::size_t indexIn(const Files &order, const StartupFile &file);

} // namespace startupfiles
