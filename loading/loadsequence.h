#pragma once

#include "drives/result.h"
#include "loading/configstate.h"
#include "loading/linereader.h"

#include <QByteArray>
#include <QList>

class DriveMap;
struct StartupFile;

// A start-up file that could not be read, and why.
struct UnreadableFile
{
    const StartupFile *file = nullptr;
    Failed failure; // its reason does not name the file: "filen finnes ikke"
    // The DOS path of the file that failed when it is not the start-up
    // file's own (a hive or shortcut of the start-up page); else empty.
    QByteArray source;
};

// Reads the five start-up files into a ConfigState: CONFIG.SYS and
// AUTOEXEC.BAT as lines, MSDOS.SYS through its line reader (filling the Paths
// and Options values), then WIN.INI and SYSTEM.INI from the Windows directory
// with their section headers. A file that cannot be read ends the load with a
// FileError; what was filled before it stays. With ReadOnPastFailures (the
// audit's load), such a file is taken as empty and the load goes on.
class LoadSequence
{
public:
    enum class OnFailure { Stop, ReadOnPastFailures };
    LoadSequence(ConfigState &state, const DriveMap &drives, OnFailure onFailure = OnFailure::Stop);

    void HentKnappClick();
    // HentKnappClick in its two parts, for a window that shows its first
    // frame before the start-up page is read: the five start-up files, then
    // the start-up page from the Windows directory the first part found.
    void loadFiles();
    void loadStartupPage();

    // The files that could not be read, in the order the load met them.
    const QList<UnreadableFile> &unreadable() const { return m_unreadable; }

private:
    // Reads WIN.INI and SYSTEM.INI from the Windows directory WD names.
    void scanini();
    // Replaces a file's lines (and its section list, if it has one).
    void readLines(const StartupFile &file);
    // The file's bytes; a failure stops the load or is noted (see OnFailure).
    QByteArray readText(const StartupFile &file);
    void failed(const StartupFile &file, const Failed &failure, const QByteArray &source = {});
    // The start-up page, gathered from the registry, the Startup folders and
    // the Windows batch files.
    void readStartupSources(const StartupFile &file);
    // MSDOS.SYS through its line reader: the Paths and Options values, and
    // the lines the reader read.
    void readMsDosSys(const StartupFile &file);
    void readmsdosline();
    void scanpaths();
    void scanoptions();
    void parsepathline();
    void parseoptionline();
    bool cutThroughKey(const char *key);

    ConfigState &m;
    const DriveMap &m_drives;
    OnFailure m_onFailure;
    QList<UnreadableFile> m_unreadable;
    QByteArray m_msdosText;
    LineReader m_msdos{QByteArrayView()};
    QByteArray CurrentLine;
};

// The load the program runs when it starts, in the window and headless alike:
// BootDelayFlag starts out set, then the load sequence runs.
void loadAtStart(ConfigState &state, const DriveMap &drives);
// The first part of it: the five start-up files, not the start-up page.
void loadFilesAtStart(ConfigState &state, const DriveMap &drives);

// Upper-cases a line and drops its trailing blanks; leading blanks, tabs and
// everything else stay.
QByteArray normaliseMsDosLine(QByteArray line);

// Fills a section list with the lines of a full list that contain "[".
void collectSections(const LineList &full, LineList &sections);
