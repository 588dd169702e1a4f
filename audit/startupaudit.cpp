#include "audit/startupaudit.h"

#include "audit/dosrules.h"
#include "audit/inirules.h"
#include "audit/linewords.h"
#include "drives/ansitext.h"
#include "drives/dospath.h"
#include "loading/configstate.h"
#include "loading/loadsequence.h"

#include <algorithm>
#include <limits>

using namespace linewords;

namespace {

const QList<QByteArrayView> kNoExtensions;
const QList<QByteArrayView> kDosProgram = {".COM", ".EXE", ".BAT"};
const QList<QByteArrayView> kWindowsProgram = {".EXE", ".COM", ".BAT"};

IniRules::Kind iniKind(const StartupFile &file)
{
    return file.audit == StartupFile::AuditRules::SystemIni ? IniRules::Kind::SystemIni : IniRules::Kind::WinIni;
}

} // namespace

// AUTOEXEC.BAT as run so far, and its search list at hand.
struct StartupAudit::Batch
{
    Batch(const ConfigState &state, DirectoryCache &cache) : run(state.WD, state.WBD)
    {
        run.setDirectoryExists([&cache](const QByteArray &directory) { return cache.directory(directory).listed; });
        // The environment CONFIG.SYS leaves: COMSPEC, the interpreter its
        // SHELL= names (else C:\COMMAND.COM), and what its SET lines set.
        QByteArrayView comspec = "C:\\COMMAND.COM";
        QList<QByteArrayView> sets;
        const LineList &config = state.ConfigMemo;
        for (int i = 0; i < config.count(); ++i) {
            const QByteArrayView line = config.lineView(i);
            if (line.contains('\x1a'))
                break;
            const QByteArrayView word = leadingLetters(trimLeft(line));
            if (equalsUpper(word, "SHELL") && !configSysFile(line).isEmpty())
                comspec = configSysFile(line);
            else if (equalsUpper(word, "SET"))
                sets.append(line);
        }
        run.setVariable("COMSPEC", comspec);
        for (const QByteArrayView line : sets)
            (void)run.step(line);
    }

    SearchList &search()
    {
        if (searchMadeAt != run.pathChanges()) {
            searchList = SearchList(run.searchDirectories());
            searchMadeAt = run.pathChanges();
        }
        return searchList;
    }

    BatchRun run;
    SearchList searchList;
    int searchMadeAt = -1;
};

// Where the audit of one file stands.
struct StartupAudit::Cursor
{
    explicit Cursor(const StartupFile &file) : file(file) {}

    const StartupFile &file;
    int line = 0;
    bool ended = false;            // CONFIG.SYS: past a Ctrl-Z
    std::optional<Batch> batch;    // AUTOEXEC.BAT
    std::optional<IniRules> rules; // SYSTEM.INI, WIN.INI
};

StartupAudit::StartupAudit(const ConfigState &state, const DriveMap &drives)
    : m_state(state), m_pass(drives), m_cache(drives), m_winDir(ansi::upper(state.WD))
{
    m_root = SearchList({QByteArray(kBootRoot)});
    const QByteArray system = m_winDir + "\\SYSTEM";
    m_systemDirectories = SearchList({system, m_winDir});
    m_vxdDirectories = SearchList({system + "\\VMM32", system, m_winDir});
    // Windows 95 and 98 keep their fonts in FONTS, Windows 3.1 in SYSTEM.
    m_fontDirectories = SearchList({system, m_winDir, m_winDir + "\\FONTS"});
}

StartupAudit::~StartupAudit() = default;

AuditFindings StartupAudit::run()
{
    AuditFindings findings;
    // Nearly every line of CONFIG.SYS and AUTOEXEC.BAT loads something;
    // few lines of the INI files do.
    findings.reserve(m_state.ConfigMemo.count() + m_state.AutoMemo.count() + 64);
    for (const StartupFile *file : kLoadOrder) {
        Cursor cursor(*file);
        advance(cursor, std::numeric_limits<qint64>::max(), findings);
    }
    return findings;
}

AuditFindings StartupAudit::auditFile(const StartupFile &file)
{
    AuditFindings findings;
    Cursor cursor(file);
    advance(cursor, std::numeric_limits<qint64>::max(), findings);
    return findings;
}

bool StartupAudit::runSome(int lines, AuditFindings &out)
{
    qint64 budget = std::max(lines, 1);
    while (m_nextFile < kLoadOrder.size() && budget > 0) {
        if (!m_cursor)
            m_cursor = std::make_unique<Cursor>(*kLoadOrder[m_nextFile]);
        qint64 done = 0;
        if (advance(*m_cursor, budget, out, &done)) {
            m_cursor.reset();
            ++m_nextFile;
        }
        budget -= std::max<qint64>(done, 1);
    }
    return m_nextFile < kLoadOrder.size();
}

bool StartupAudit::advance(Cursor &cursor, qint64 budget, AuditFindings &out, qint64 *done)
{
    using Rules = StartupFile::AuditRules;
    const StartupFile &file = cursor.file;
    if (file.audit == Rules::MsDosSys) {
        out += msDosSys(file);
        if (done)
            *done = 1;
        return true;
    }
    const int count = lines(file).count();
    const int end = int(std::min<qint64>(count, cursor.line + budget));
    switch (file.audit) {
    case Rules::ConfigSys:
        for (int i = cursor.line; i < end && !cursor.ended; ++i) {
            configSys(file, i, out);
            cursor.ended = lines(file).lineView(i).contains('\x1a'); // DOS reads no further
        }
        break;
    case Rules::Batch:
        if (!cursor.batch)
            cursor.batch.emplace(m_state, m_cache);
        for (int i = cursor.line; i < end; ++i)
            autoexecBat(file, *cursor.batch, i, out);
        break;
    case Rules::SystemIni:
    case Rules::WinIni:
        if (!cursor.rules)
            cursor.rules.emplace(iniKind(file));
        for (int i = cursor.line; i < end; ++i)
            ini(file, *cursor.rules, i, out);
        break;
    case Rules::MsDosSys:
        break;
    }
    if (done)
        *done = end - cursor.line;
    cursor.line = end;
    return end >= count;
}

AuditFindings StartupAudit::auditLine(const StartupFile &file, int line)
{
    AuditFindings findings;
    const LineList &list = lines(file);
    if (line < 0 || line >= list.count())
        return findings;
    switch (file.audit) {
    case StartupFile::AuditRules::MsDosSys:
        for (const AuditFinding &finding : msDosSys(file)) {
            if (finding.line == line)
                findings.append(finding);
        }
        break;
    case StartupFile::AuditRules::ConfigSys:
        for (int i = 0; i < line; ++i) {
            if (list.lineView(i).contains('\x1a'))
                return findings; // past the end DOS reads
        }
        configSys(file, line, findings);
        break;
    case StartupFile::AuditRules::Batch: {
        Batch batch(m_state, m_cache);
        for (int i = 0; i < line; ++i)
            (void)batch.run.step(list.lineView(i));
        autoexecBat(file, batch, line, findings);
        break;
    }
    case StartupFile::AuditRules::SystemIni:
    case StartupFile::AuditRules::WinIni: {
        IniRules rules(iniKind(file));
        for (int i = line - 1; i >= 0; --i) {
            if (trimLeft(list.lineView(i)).startsWith('[')) {
                rules.step(list.lineView(i));
                break;
            }
        }
        ini(file, rules, line, findings);
        break;
    }
    }
    return findings;
}

AuditFindings StartupAudit::msDosSys(const StartupFile &file)
{
    // The lines that set WinDir and WinBootDir, found the way the load reads
    // them: the last line of [Paths] holding the key, anywhere in the line.
    const LineList &list = lines(file);
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
        findings.append(&file, line, written, listing.path, listing.listed);
    };
    // In line order, as every finding is.
    const bool bootDirFirst = winBootDirLine >= 0 && winBootDirLine < winDirLine;
    directory(bootDirFirst ? winBootDirLine : winDirLine, bootDirFirst ? winBootDir : winDir,
              bootDirFirst ? m_state.WBD : m_state.WD);
    directory(bootDirFirst ? winDirLine : winBootDirLine, bootDirFirst ? winDir : winBootDir,
              bootDirFirst ? m_state.WD : m_state.WBD);
    return findings;
}

void StartupAudit::configSys(const StartupFile &file, int line, AuditFindings &out)
{
    QByteArrayView text = lines(file).lineView(line);
    if (const qsizetype end = text.indexOf('\x1a'); end >= 0)
        text = text.first(end);
    const QByteArrayView name = configSysFile(text);
    if (!name.isEmpty())
        look(file, line, name, name, m_root, kNoExtensions, out);
}

void StartupAudit::autoexecBat(const StartupFile &file, Batch &batch, int line, AuditFindings &out)
{
    const std::optional<BatchRun::Program> program = batch.run.step(lines(file).lineView(line));
    if (program) {
        look(file, line, program->written, program->name(), batch.search(), kDosProgram, out);
    }
}

void StartupAudit::ini(const StartupFile &file, IniRules &rules, int line, AuditFindings &out)
{
    const QByteArrayView text = lines(file).lineView(line);
    if (rules.passesOver(text))
        return;
    for (const QByteArrayView name : rules.step(text)) {
        if (file.audit == StartupFile::AuditRules::WinIni) {
            look(file, line, name, name, windowsProgramDirectories(), kWindowsProgram, out);
            continue;
        }
        SearchList *directories = &m_systemDirectories;
        if (endsWithUpper(name, ".VXD"))
            directories = &m_vxdDirectories;
        else if (endsWithUpper(name, ".FON"))
            directories = &m_fontDirectories;
        look(file, line, name, name, *directories, kNoExtensions, out);
    }
}

SearchList &StartupAudit::windowsProgramDirectories()
{
    // WinDir, its SYSTEM, then the PATH as AUTOEXEC.BAT leaves it.
    if (!m_windowsProgramDirectories) {
        BatchRun batch(m_state.WD, m_state.WBD);
        for (int i = 0; i < m_state.AutoMemo.count(); ++i)
            (void)batch.step(m_state.AutoMemo.lineView(i));
        m_windowsProgramDirectories = SearchList(QList<QByteArray>{m_winDir, m_winDir + "\\SYSTEM"} + batch.path());
    }
    return *m_windowsProgramDirectories;
}

void StartupAudit::look(const StartupFile &file, int line, QByteArrayView written, QByteArrayView name,
                        SearchList &directories, const QList<QByteArrayView> &extensions, AuditFindings &out)
{
    const DirectoryCache::Listing *where = nullptr;
    if (hasDirectory(name)) {
        qsizetype cut = lastSeparator(name);
        if (cut < 0)
            cut = name.indexOf(':'); // "C:NAME"
        where = &m_cache.directory(name.first(cut + 1));
        name = name.sliced(cut + 1);
    }
    // DOS drops the trailing dots and blanks of a name.
    while (!name.isEmpty() && (name.back() == '.' || isBlank(name.back())))
        name.chop(1);
    m_probe.resize(static_cast<size_t>(name.size()));
    std::transform(name.begin(), name.end(), m_probe.begin(), linewords::upper);
    const QList<QByteArrayView> &tried = m_probe.find('.') == std::string::npos ? extensions : kNoExtensions;

    bool found = false;
    if (where) {
        where->writePath(m_probe, m_path);
        found = probe(*where, tried);
    } else {
        m_path.clear();
        for (qsizetype i = 0; i < directories.size() && !found; ++i) {
            const DirectoryCache::Listing &directory = directories.at(i, m_cache);
            if (i == 0)
                directory.writePath(m_probe, m_path);
            found = probe(directory, tried);
        }
    }
    out.append(&file, line, written, QByteArrayView(m_path.data(), qsizetype(m_path.size())), found);
}

bool StartupAudit::probe(const DirectoryCache::Listing &directory, const QList<QByteArrayView> &extensions)
{
    if (!directory.listed || m_probe.empty())
        return false;
    if (extensions.isEmpty()) {
        if (!directory.files.count(m_probe))
            return false;
        directory.writePath(m_probe, m_path);
        return true;
    }
    if (!directory.stems.count(m_probe))
        return false;
    const size_t base = m_probe.size();
    for (const QByteArrayView extension : extensions) {
        m_probe.append(extension.data(), static_cast<size_t>(extension.size()));
        if (directory.files.count(m_probe)) {
            directory.writePath(m_probe, m_path);
            return true;
        }
        m_probe.resize(base);
    }
    return false;
}
