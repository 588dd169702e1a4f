#pragma once

#include "audit/auditfinding.h"
#include "audit/directorycache.h"
#include "drives/drivemap.h"
#include "loading/startupfiles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <map>
#include <memory>
#include <optional>
#include <string>

// Every file the machine's start-up would load, looked for on its drives:
// the Windows directories of MSDOS.SYS, the drivers and programs of
// CONFIG.SYS and AUTOEXEC.BAT, and what SYSTEM.INI and WIN.INI name, each
// looked for where DOS or Windows would look. The Windows directory is the
// one MSDOS.SYS names. Each directory is listed at most once per audit.
class StartupAudit
{
public:
    StartupAudit(const ConfigState &state, const DriveMap &drives);
    ~StartupAudit();

    // Every file, in load order (MSDOS.SYS, CONFIG.SYS, AUTOEXEC.BAT,
    // SYSTEM.INI, WIN.INI), then by line.
    AuditFindings run();
    AuditFindings auditFile(const StartupFile &file);
    // One line, in the context the lines before it set (section, PATH).
    AuditFindings auditLine(const StartupFile &file, int line);

    // The audit of run(), spread over as many calls as its caller likes:
    // audits about the given number of lines more and adds their findings
    // to out; false once every file is done. The lines are read as they
    // are at each call.
    bool runSome(int lines, AuditFindings &out);
    // runSome() begins at this file (in load order) instead of the first:
    // what comes before it stands as it was.
    void startAt(const StartupFile &file);
    // The place in load order of the file runSome() audits next.
    std::size_t fileUnderWay() const { return m_nextFile; }
    // The fewest lines the next call of runSome() reads, whatever it is
    // given: MSDOS.SYS's audit reads all of CONFIG.SYS first.
    qint64 leastLinesNext() const;

    int listingsMade() const { return m_cache.listingsMade(); }

private:
    const LineList &lines(const StartupFile &file) const { return m_state.*file.lines; }
    struct Cursor;
    // Audits up to `budget` lines more of the cursor's file; true once the
    // file is done. *done counts the lines audited.
    bool advance(Cursor &cursor, qint64 budget, AuditFindings &out, qint64 *done = nullptr);
    AuditFindings msDosSys(const StartupFile &file);
    // The files IO.SYS and WIN.COM load with no line naming them.
    void loadedWithoutALine(const StartupFile &file, int line, AuditFindings &out);
    // True when the line ends the file for DOS (it holds a Ctrl-Z).
    bool configSys(const StartupFile &file, int line, AuditFindings &out);
    struct ConfigFacts;
    const ConfigFacts &configFacts();
    struct Batch;
    // Where a batch line stands: a line of AUTOEXEC.BAT, or a line of a
    // batch file that such a line runs.
    struct BatchLine
    {
        const StartupFile &file;
        int line;
        QByteArrayView source;
        int sourceLine;
        QByteArrayView sourceKey = {};
    };
    // Runs one line of a batch file: what it sets, the programs it starts
    // looked for (into out, unless that is null: a replay of the lines
    // before), and a batch file it starts run in turn.
    void batchLine(Batch &batch, QByteArrayView text, const BatchLine &where, AuditFindings *out);
    void callBatch(Batch &batch, const QByteArray &path, const BatchLine &caller, AuditFindings *out);
    const LineList *sourceLines(const QByteArray &path);
    void ini(const StartupFile &file, class IniRules &rules, int line, AuditFindings &out);
    // A line of the start-up page, by the source of its section: a Run key's
    // or Startup folder's program, a StaticVxD, a line of WINSTART.BAT or
    // DOSSTART.BAT (run with `batch`, made afresh at each batch section).
    void startupLine(const StartupFile &file, std::optional<Batch> &batch, int line, AuditFindings *out);
    const StartupSection *startupSectionOf(int line) const;
    SearchList &windowsProgramDirectories();

    // Looks for a name: where it says, or else in each of the directories;
    // without an extension, with each of the extensions in turn. m_path
    // becomes where it was found, or else where it was looked for first.
    bool find(QByteArrayView name, SearchList &directories, const QList<QByteArrayView> &extensions);
    // find(), its finding added to out.
    void look(const StartupFile &file, int line, QByteArrayView written, QByteArrayView name,
              SearchList &directories, const QList<QByteArrayView> &extensions, AuditFindings &out);
    // Looks for m_probe in one directory, with each of the extensions when
    // there are any; m_path becomes where it was found.
    bool probe(const DirectoryCache::Listing &directory, const QList<QByteArrayView> &extensions);

    const ConfigState &m_state;
    const DriveMap &m_drives;
    const DriveMap::Pass m_pass; // the drive keeps what it reads for as long as the audit lasts
    DirectoryCache m_cache;
    QByteArray m_winDir;
    SearchList m_root, m_vxdDirectories, m_systemDirectories, m_fontDirectories;
    std::optional<SearchList> m_windowsProgramDirectories; // needs AUTOEXEC.BAT's PATH
    std::unique_ptr<ConfigFacts> m_configFacts;
    std::map<QByteArray, std::unique_ptr<LineList>> m_sources; // read once per audit; null: unreadable
    std::string m_probe, m_path; // kept, so a probe reuses their space
    std::size_t m_nextFile = 0;       // of runSome(), in load order
    std::unique_ptr<Cursor> m_cursor; // where runSome() goes on
};
