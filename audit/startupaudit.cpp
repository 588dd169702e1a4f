#include "audit/startupaudit.h"

#include "audit/dosrules.h"
#include "audit/inirules.h"
#include "audit/linewords.h"
#include "loading/ansitext.h"
#include "loading/configstate.h"
#include "loading/loadsequence.h"

#include <algorithm>

using namespace linewords;

namespace {

const QList<QByteArrayView> kNoExtensions;
const QList<QByteArrayView> kDosProgram = {".COM", ".EXE", ".BAT"};
const QList<QByteArrayView> kWindowsProgram = {".EXE", ".COM", ".BAT"};

IniRules::Kind iniKind(const StartupFile &file)
{
    return &file == &startupfiles::systemIni ? IniRules::Kind::SystemIni : IniRules::Kind::WinIni;
}

} // namespace

StartupAudit::StartupAudit(const ConfigState &state, const DriveMap &drives)
    : m_state(state), m_cache(drives), m_winDir(ansi::upper(state.WD))
{
    m_root = {"C:\\"};
    const QByteArray system = m_winDir + "\\SYSTEM";
    m_systemDirectories = {system, m_winDir};
    m_vxdDirectories = {system + "\\VMM32", system, m_winDir};
    // Windows 95 and 98 keep their fonts in FONTS, Windows 3.1 in SYSTEM.
    m_fontDirectories = {system, m_winDir, m_winDir + "\\FONTS"};
}

AuditFindings StartupAudit::run()
{
    AuditFindings findings;
    for (const StartupFile *file : kLoadOrder)
        findings += auditFile(*file);
    return findings;
}

AuditFindings StartupAudit::auditFile(const StartupFile &file)
{
    if (&file == &startupfiles::msdosSys)
        return msDosSys();
    AuditFindings findings;
    const int count = lines(file).count();
    if (&file == &startupfiles::configSys) {
        for (int i = 0; i < count; ++i)
            configSys(i, findings);
    } else if (&file == &startupfiles::autoexecBat) {
        BatchRun batch(m_state.WD, m_state.WBD);
        for (int i = 0; i < count; ++i)
            autoexecBat(batch, i, findings);
    } else {
        IniRules rules(iniKind(file));
        for (int i = 0; i < count; ++i)
            ini(file, rules, i, findings);
    }
    return findings;
}

AuditFindings StartupAudit::auditLine(const StartupFile &file, int line)
{
    AuditFindings findings;
    const LineList &list = lines(file);
    if (line < 0 || line >= list.count())
        return findings;
    if (&file == &startupfiles::msdosSys) {
        for (const AuditFinding &finding : msDosSys()) {
            if (finding.line == line)
                findings.append(finding);
        }
    } else if (&file == &startupfiles::configSys) {
        configSys(line, findings);
    } else if (&file == &startupfiles::autoexecBat) {
        BatchRun batch(m_state.WD, m_state.WBD);
        for (int i = 0; i < line; ++i)
            (void)batch.step(list.lineView(i));
        autoexecBat(batch, line, findings);
    } else {
        IniRules rules(iniKind(file));
        for (int i = line - 1; i >= 0; --i) {
            if (trimLeft(list.lineView(i)).startsWith('[')) {
                rules.step(list.lineView(i));
                break;
            }
        }
        ini(file, rules, line, findings);
    }
    return findings;
}

AuditFindings StartupAudit::msDosSys()
{
    // The lines that set WinDir and WinBootDir, found the way the load reads
    // them: the last line of [Paths] holding the key, anywhere in the line.
    const LineList &list = m_state.msdosmemo;
    int winDirLine = -1, winBootDirLine = -1;
    QByteArrayView winDir, winBootDir;
    bool inPaths = false;
    for (int i = 0; i < list.count(); ++i) {
        const QByteArrayView raw = list.lineView(i);
        const QByteArray upper = normaliseMsDosLine(raw.toByteArray());
        if (!inPaths) {
            inPaths = upper == "[PATHS]";
            continue;
        }
        qsizetype at = upper.indexOf("WINDIR=");
        if (at >= 0) {
            winDirLine = i;
            winDir = trimmed(raw.sliced(at + 7));
        }
        at = upper.indexOf("WINBOOTDIR=");
        if (at >= 0) {
            winBootDirLine = i;
            winBootDir = trimmed(raw.sliced(at + 11));
        }
        if (upper.contains('['))
            break;
    }
    AuditFindings findings;
    const auto directory = [&](int line, QByteArrayView written, const QByteArray &value) {
        if (line < 0)
            return;
        const DirectoryCache::Listing &listing = m_cache.directory(value);
        findings.append({&startupfiles::msdosSys, line, written.toByteArray(), listing.path, listing.listed});
    };
    directory(winDirLine, winDir, m_state.WD);
    directory(winBootDirLine, winBootDir, m_state.WBD);
    std::sort(findings.begin(), findings.end(),
              [](const AuditFinding &a, const AuditFinding &b) { return a.line < b.line; });
    return findings;
}

void StartupAudit::configSys(int line, AuditFindings &out)
{
    const QByteArrayView name = configSysFile(m_state.ConfigMemo.lineView(line));
    if (!name.isEmpty())
        out.append(look(startupfiles::configSys, line, name, name, m_root, kNoExtensions));
}

void StartupAudit::autoexecBat(BatchRun &batch, int line, AuditFindings &out)
{
    const std::optional<BatchRun::Program> program = batch.step(m_state.AutoMemo.lineView(line));
    if (program) {
        out.append(look(startupfiles::autoexecBat, line, program->written, program->name,
                        batch.searchDirectories(), kDosProgram));
    }
}

void StartupAudit::ini(const StartupFile &file, IniRules &rules, int line, AuditFindings &out)
{
    for (const QByteArrayView name : rules.step(lines(file).lineView(line))) {
        if (&file == &startupfiles::winIni) {
            out.append(look(file, line, name, name, windowsProgramDirectories(), kWindowsProgram));
            continue;
        }
        const QList<QByteArray> *directories = &m_systemDirectories;
        if (endsWithUpper(name, ".VXD"))
            directories = &m_vxdDirectories;
        else if (endsWithUpper(name, ".FON"))
            directories = &m_fontDirectories;
        out.append(look(file, line, name, name, *directories, kNoExtensions));
    }
}

const QList<QByteArray> &StartupAudit::windowsProgramDirectories()
{
    // WinDir, its SYSTEM, then the PATH as AUTOEXEC.BAT leaves it.
    if (!m_windowsProgramDirectories) {
        BatchRun batch(m_state.WD, m_state.WBD);
        for (int i = 0; i < m_state.AutoMemo.count(); ++i)
            (void)batch.step(m_state.AutoMemo.lineView(i));
        m_windowsProgramDirectories = QList<QByteArray>{m_winDir, m_winDir + "\\SYSTEM"} + batch.path();
    }
    return *m_windowsProgramDirectories;
}

AuditFinding StartupAudit::look(const StartupFile &file, int line, QByteArrayView written, QByteArrayView name,
                                const QList<QByteArray> &directories, const QList<QByteArrayView> &extensions)
{
    AuditFinding finding{&file, line, written.toByteArray(), {}, false};
    if (hasDirectory(name)) {
        qsizetype cut = std::max(name.lastIndexOf('\\'), name.lastIndexOf('/'));
        if (cut < 0)
            cut = name.indexOf(':'); // "C:NAME"
        probe(m_cache.directory(name.first(cut + 1)), name.sliced(cut + 1), extensions, finding);
        return finding;
    }
    for (const QByteArray &directory : directories) {
        if (probe(m_cache.directory(directory), name, extensions, finding))
            break;
    }
    return finding;
}

bool StartupAudit::probe(const DirectoryCache::Listing &directory, QByteArrayView name,
                         const QList<QByteArrayView> &extensions, AuditFinding &finding)
{
    // DOS drops the trailing dots and blanks of a name.
    while (!name.isEmpty() && (name.back() == '.' || isBlank(name.back())))
        name.chop(1);
    m_probe = ansi::upper(name.toByteArray());
    if (finding.path.isEmpty())
        finding.path = directory.pathOf(m_probe);
    if (!directory.listed || m_probe.isEmpty())
        return false;
    if (extensions.isEmpty() || hasExtension(m_probe)) {
        finding.found = directory.files.contains(m_probe);
    } else {
        const qsizetype base = m_probe.size();
        for (const QByteArrayView extension : extensions) {
            m_probe.truncate(base);
            m_probe += extension;
            if (directory.files.contains(m_probe)) {
                finding.found = true;
                break;
            }
        }
    }
    if (finding.found)
        finding.path = directory.pathOf(m_probe);
    return finding.found;
}
