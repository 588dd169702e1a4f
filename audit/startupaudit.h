#pragma once

#include "audit/auditfinding.h"
#include "audit/directorycache.h"
#include "drives/drivemap.h"
#include "loading/startupfiles.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

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

    int listingsMade() const { return m_cache.listingsMade(); }

private:
    const LineList &lines(const StartupFile &file) const { return m_state.*file.lines; }
    struct Cursor;
    // Audits up to `budget` lines more of the cursor's file; true once the
    // file is done. *done counts the lines audited.
    bool advance(Cursor &cursor, qint64 budget, AuditFindings &out, qint64 *done = nullptr);
    AuditFindings msDosSys(const StartupFile &file);
    void configSys(const StartupFile &file, int line, AuditFindings &out);
    struct Batch;
    void autoexecBat(const StartupFile &file, Batch &batch, int line, AuditFindings &out);
    void ini(const StartupFile &file, class IniRules &rules, int line, AuditFindings &out);
    SearchList &windowsProgramDirectories();

    // Looks for a name: where it says, or else in each of the directories;
    // without an extension, with each of the extensions in turn.
    void look(const StartupFile &file, int line, QByteArrayView written, QByteArrayView name,
              SearchList &directories, const QList<QByteArrayView> &extensions, AuditFindings &out);
    // Looks for m_probe in one directory, with each of the extensions when
    // there are any; m_path becomes where it was found.
    bool probe(const DirectoryCache::Listing &directory, const QList<QByteArrayView> &extensions);

    const ConfigState &m_state;
    const DriveMap::Pass m_pass; // the drive keeps what it reads for as long as the audit lasts
    DirectoryCache m_cache;
    QByteArray m_winDir;
    SearchList m_root, m_vxdDirectories, m_systemDirectories, m_fontDirectories;
    std::optional<SearchList> m_windowsProgramDirectories; // needs AUTOEXEC.BAT's PATH
    std::string m_probe, m_path; // kept, so a probe reuses their space
    std::size_t m_nextFile = 0;       // of runSome(), in load order
    std::unique_ptr<Cursor> m_cursor; // where runSome() goes on
};
