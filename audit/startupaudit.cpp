#include "audit/startupaudit.h"

#include "audit/dosrules.h"
#include "audit/inirules.h"
#include "audit/linewords.h"
#include "drives/ansitext.h"
#include "drives/dospath.h"
#include "loading/configstate.h"
#include "loading/loadsequence.h"

#include <QSet>

#include <algorithm>
#include <limits>

using namespace linewords;

namespace {

// How deep batch files may call one another: COMMAND.COM's own limit is
// memory; real start-ups go two or three deep.
constexpr int kDeepestCall = 8;
// The largest batch file the audit reads: a real one is a few KiB.
constexpr qsizetype kLargestCalledFile = qsizetype(1) << 20;

const QList<QByteArrayView> kNoExtensions;
const QList<QByteArrayView> kDosProgram = {".COM", ".EXE", ".BAT"};
const QList<QByteArrayView> kWindowsProgram = {".EXE", ".COM", ".BAT"};

IniRules::Kind iniKind(const StartupFile &file)
{
    return file.audit == StartupFile::AuditRules::SystemIni ? IniRules::Kind::SystemIni : IniRules::Kind::WinIni;
}

} // namespace

// What CONFIG.SYS settles for the rest of the start-up, up to a Ctrl-Z:
// the interpreter its SHELL= names (else C:\COMMAND.COM, which IO.SYS then
// loads itself), its SET lines, and whether it loads HIMEM.SYS and
// IFSHLP.SYS (else IO.SYS loads them from the Windows directory).
struct StartupAudit::ConfigFacts
{
    explicit ConfigFacts(const LineList &config)
    {
        // Whether a name of the two is in the line, in any case: at a dot
        // that ".SYS" starts.
        const auto before = [](QByteArrayView line, qsizetype dot, const char *upperStem, qsizetype length) {
            return dot >= length && equalsUpper(line.sliced(dot - length, length), upperStem, length);
        };
        for (int i = 0; i < config.count(); ++i) {
            const QByteArrayView line = config.lineView(i);
            if (linewords::indexOf(line, '\x1a') >= 0)
                break;
            const QByteArrayView word = leadingLetters(trimLeft(line));
            const bool shell = equalsUpper(word, "SHELL");
            if (equalsUpper(word, "SET"))
                sets.append(line.toByteArray());
            // The line's file is worked out only where it can matter: it is
            // part of the line, so it can be HIMEM.SYS only on a line that
            // has that name in it (a CONFIG.SYS may have 50,000 lines).
            bool himem = false, ifshlp = false;
            for (qsizetype dot = linewords::indexOf(line, '.'); dot >= 0; dot = linewords::indexOf(line, '.', dot + 1)) {
                if (equalsUpper(line.sliced(dot).first(std::min<qsizetype>(4, line.size() - dot)), ".SYS")) {
                    himem = himem || before(line, dot, "HIMEM", 5);
                    ifshlp = ifshlp || before(line, dot, "IFSHLP", 6);
                }
            }
            if (!shell && !himem && !ifshlp)
                continue;
            const QByteArrayView file = configSysFile(line);
            if (shell && !file.isEmpty())
                comspec = file.toByteArray();
            const QByteArrayView name = file.sliced(lastSeparator(file) + 1);
            loadsHimem = loadsHimem || (himem && equalsUpper(name, "HIMEM.SYS"));
            loadsIfshlp = loadsIfshlp || (ifshlp && equalsUpper(name, "IFSHLP.SYS"));
        }
    }

    QByteArray comspec; // empty: no SHELL= names one
    QList<QByteArray> sets;
    bool loadsHimem = false, loadsIfshlp = false;
};

const StartupAudit::ConfigFacts &StartupAudit::configFacts()
{
    if (!m_configFacts)
        m_configFacts = std::make_unique<ConfigFacts>(m_state.ConfigMemo);
    return *m_configFacts;
}

// AUTOEXEC.BAT as run so far, and its search list at hand.
struct StartupAudit::Batch
{
    Batch(const ConfigState &state, const ConfigFacts &config, DirectoryCache &cache) : run(state.WD, state.WBD)
    {
        run.setDirectoryExists([&cache](const QByteArray &directory) { return cache.directory(directory).listed; });
        // The environment CONFIG.SYS leaves: COMSPEC, and what its SET lines set.
        run.setVariable("COMSPEC", config.comspec.isEmpty() ? QByteArrayView("C:\\COMMAND.COM") : config.comspec);
        for (const QByteArray &line : config.sets)
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
    QSet<QByteArray> called; // the batch files run so far: each is audited once
    int depth = 0;           // of calls under way
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
    std::optional<Batch> startupBatch; // the start-up page's batch file under way
};

StartupAudit::StartupAudit(const ConfigState &state, const DriveMap &drives)
    : m_state(state), m_drives(drives), m_pass(drives), m_cache(drives), m_winDir(ansi::upper(state.WD))
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

qint64 StartupAudit::leastLinesNext() const
{
    if (m_nextFile >= kLoadOrder.size())
        return 0;
    if (kLoadOrder[m_nextFile]->audit == StartupFile::AuditRules::MsDosSys && !m_configFacts)
        return 1 + m_state.ConfigMemo.count();
    return 1;
}

void StartupAudit::startAt(const StartupFile &file)
{
    m_cursor.reset();
    m_nextFile = startupfiles::indexIn(kLoadOrder, file);
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
            cursor.ended = configSys(file, i, out); // DOS reads no further than a Ctrl-Z
        }
        break;
    case Rules::Batch:
        if (!cursor.batch)
            cursor.batch.emplace(m_state, configFacts(), m_cache);
        for (int i = cursor.line; i < end; ++i)
            batchLine(*cursor.batch, lines(file).lineView(i), {file, i, {}, 0}, &out);
        break;
    case Rules::SystemIni:
    case Rules::WinIni:
        if (!cursor.rules)
            cursor.rules.emplace(iniKind(file));
        for (int i = cursor.line; i < end; ++i)
            ini(file, *cursor.rules, i, out);
        break;
    case Rules::StartupSources:
        for (int i = cursor.line; i < end; ++i)
            startupLine(file, cursor.startupBatch, i, &out);
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
        Batch batch(m_state, configFacts(), m_cache);
        for (int i = 0; i < line; ++i)
            batchLine(batch, list.lineView(i), {file, i, {}, 0}, nullptr);
        batchLine(batch, list.lineView(line), {file, line, {}, 0}, &findings);
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
    case StartupFile::AuditRules::StartupSources: {
        std::optional<Batch> batch;
        const StartupSection *section = startupSectionOf(line);
        for (int i = section ? section->header : line; i < line; ++i)
            startupLine(file, batch, i, nullptr);
        startupLine(file, batch, line, &findings);
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
    // In line order, as every finding is; the files loaded without a line
    // on WinDir's line (or the first), after its directory.
    const bool bootDirFirst = winBootDirLine >= 0 && winBootDirLine < winDirLine;
    const int impliedLine = std::max(winDirLine, 0);
    if (bootDirFirst)
        directory(winBootDirLine, winBootDir, m_state.WBD);
    directory(winDirLine, winDir, m_state.WD);
    if (list.count() > 0)
        loadedWithoutALine(file, impliedLine, findings);
    if (!bootDirFirst)
        directory(winBootDirLine, winBootDir, m_state.WBD);
    return findings;
}

void StartupAudit::loadedWithoutALine(const StartupFile &file, int line, AuditFindings &out)
{
    const ConfigFacts &config = configFacts();
    QList<QByteArray> files;
    if (config.comspec.isEmpty())
        files.append(QByteArray(kBootRoot) + "COMMAND.COM");
    // Without a Windows directory there is no Windows to load.
    if (!m_winDir.isEmpty()) {
        if (!config.loadsHimem)
            files.append(m_winDir + "\\HIMEM.SYS");
        if (!config.loadsIfshlp)
            files.append(m_winDir + "\\IFSHLP.SYS");
        if (m_state.BGUI)
            files.append(m_winDir + "\\WIN.COM");
        files.append(m_winDir + "\\SYSTEM\\VMM32.VXD");
    }
    for (const QByteArray &name : files)
        look(file, line, name, name, m_root, kNoExtensions, out);
}

bool StartupAudit::configSys(const StartupFile &file, int line, AuditFindings &out)
{
    QByteArrayView text = lines(file).lineView(line);
    const qsizetype end = linewords::indexOf(text, '\x1a');
    if (end >= 0)
        text = text.first(end);
    const QByteArrayView name = configSysFile(text);
    if (!name.isEmpty())
        look(file, line, name, name, m_root, kNoExtensions, out);
    return end >= 0;
}

void StartupAudit::batchLine(Batch &batch, QByteArrayView text, const BatchLine &where, AuditFindings *out)
{
    for (const BatchRun::Program &program : batch.run.step(text)) {
        const bool found = find(program.name(), batch.search(), kDosProgram);
        if (out) {
            out->append(&where.file, where.line, program.written, QByteArrayView(m_path.data(), qsizetype(m_path.size())),
                        found, where.source, where.sourceLine, where.sourceKey);
        }
        if (found && endsWithUpper(QByteArrayView(m_path.data(), qsizetype(m_path.size())), ".BAT"))
            callBatch(batch, QByteArray(m_path.data(), qsizetype(m_path.size())), where, out);
    }
}

void StartupAudit::callBatch(Batch &batch, const QByteArray &path, const BatchLine &caller, AuditFindings *out)
{
    // Each file once, which also ends a loop of calls.
    if (batch.depth >= kDeepestCall || batch.called.contains(path))
        return;
    batch.called.insert(path);
    const LineList *lines = sourceLines(path);
    if (!lines)
        return;
    const bool callerEnded = batch.run.ended();
    batch.run.setEnded(false);
    ++batch.depth;
    for (int i = 0; i < lines->count() && !batch.run.ended(); ++i)
        batchLine(batch, lines->lineView(i), {caller.file, caller.line, path, i}, out);
    --batch.depth;
    batch.run.setEnded(callerEnded);
}

const LineList *StartupAudit::sourceLines(const QByteArray &path)
{
    auto it = m_sources.find(path);
    if (it == m_sources.end()) {
        // A file that cannot be read, or is too large to be a real batch
        // file, is passed over: what matters here is what it names.
        std::unique_ptr<LineList> lines;
        Result<QByteArray> text = m_drives.readFile(path);
        if (text && text.value().size() <= kLargestCalledFile) {
            lines = std::make_unique<LineList>();
            lines->replaceWithText(std::move(text).value());
        }
        it = m_sources.emplace(path, std::move(lines)).first;
    }
    return it->second.get();
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

const StartupSection *StartupAudit::startupSectionOf(int line) const
{
    const QList<StartupSection> &sections = m_state.startupSections;
    const auto after = std::upper_bound(sections.cbegin(), sections.cend(), line,
                                        [](int l, const StartupSection &s) { return l < s.header; });
    return after == sections.cbegin() ? nullptr : &*(after - 1);
}

void StartupAudit::startupLine(const StartupFile &file, std::optional<Batch> &batch, int line, AuditFindings *out)
{
    const StartupSection *section = startupSectionOf(line);
    if (!section)
        return;
    const QByteArrayView text = lines(file).lineView(line);
    if (line == section->header) {
        if (section->kind == StartupSection::Kind::Batch)
            batch.emplace(m_state, configFacts(), m_cache); // each batch file starts afresh
        return;
    }
    using Kind = StartupSection::Kind;
    if (section->kind == Kind::Batch) {
        if (!batch)
            batch.emplace(m_state, configFacts(), m_cache);
        batchLine(*batch, text, {file, line, section->source, line - section->header - 1}, out);
        return;
    }
    // NAME=COMMAND: the program is the command's first word (quoted when it
    // holds blanks); NAME=VXD, unless the VxD is built in (*name).
    const qsizetype equals = text.indexOf('=');
    if (equals < 0 || !out)
        return;
    const QByteArrayView name = text.first(equals);
    QByteArrayView value = trimLeft(text.sliced(equals + 1));
    if (value.startsWith('"')) {
        const qsizetype close = value.indexOf('"', 1);
        value = close < 0 ? value.sliced(1) : value.sliced(1, close - 1);
    } else {
        value = firstWord(value, kBlanks);
    }
    if (value.isEmpty() || (section->kind == Kind::StaticVxD && value.startsWith('*')))
        return;
    // Where the name is written: the hive with its key and value, or the
    // shortcut of a Startup folder.
    QByteArray source = section->source, key;
    if (section->key.isEmpty())
        source += '\\' + name.toByteArray();
    else if (section->kind == Kind::StaticVxD)
        key = '[' + section->key + '\\' + name.toByteArray() + "] StaticVxD";
    else
        key = '[' + section->key + "] " + name.toByteArray();
    const bool found = section->kind == Kind::StaticVxD ? find(value, m_vxdDirectories, kNoExtensions)
                                                        : find(value, windowsProgramDirectories(), kWindowsProgram);
    out->append(&file, line, value, QByteArrayView(m_path.data(), qsizetype(m_path.size())), found, source, -1, key);
}

SearchList &StartupAudit::windowsProgramDirectories()
{
    // WinDir, its SYSTEM, then the PATH as AUTOEXEC.BAT leaves it.
    if (!m_windowsProgramDirectories) {
        Batch batch(m_state, configFacts(), m_cache);
        const LineList &autoexec = m_state.AutoMemo;
        for (int i = 0; i < autoexec.count(); ++i)
            batchLine(batch, autoexec.lineView(i), {startupfiles::autoexecBat, i, {}, 0}, nullptr);
        m_windowsProgramDirectories = SearchList(QList<QByteArray>{m_winDir, m_winDir + "\\SYSTEM"} + batch.run.path());
    }
    return *m_windowsProgramDirectories;
}

void StartupAudit::look(const StartupFile &file, int line, QByteArrayView written, QByteArrayView name,
                        SearchList &directories, const QList<QByteArrayView> &extensions, AuditFindings &out)
{
    const bool found = find(name, directories, extensions);
    out.append(&file, line, written, QByteArrayView(m_path.data(), qsizetype(m_path.size())), found);
}

bool StartupAudit::find(QByteArrayView name, SearchList &directories, const QList<QByteArrayView> &extensions)
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
    bool dotted = false;
    std::transform(name.begin(), name.end(), m_probe.begin(), [&dotted](char c) {
        dotted = dotted || c == '.';
        return linewords::upper(c);
    });
    const QList<QByteArrayView> &tried = dotted ? kNoExtensions : extensions;

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
    return found;
}

bool StartupAudit::probe(const DirectoryCache::Listing &directory, const QList<QByteArrayView> &extensions)
{
    if (!directory.listed || m_probe.empty())
        return false;
    if (extensions.isEmpty()) {
        if (!directory.hasFile(m_probe))
            return false;
        directory.writePath(m_probe, m_path);
        return true;
    }
    if (!directory.hasStem(m_probe))
        return false;
    const size_t base = m_probe.size();
    for (const QByteArrayView extension : extensions) {
        m_probe.append(extension.data(), static_cast<size_t>(extension.size()));
        if (directory.hasFile(m_probe)) {
            directory.writePath(m_probe, m_path);
            return true;
        }
        m_probe.resize(base);
    }
    return false;
}
