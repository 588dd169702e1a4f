#include "loading/startupsources.h"

#include "drives/ansitext.h"
#include "drives/boundedprocess.h"
#include "drives/drivemap.h"
#include "loading/registryhive.h"
#include "loading/startupshortcut.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace {

const QByteArray kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const QByteArray kVxD = "System\\CurrentControlSet\\Services\\VxD";
const QByteArray kStartUp = "\\Start Menu\\Programs\\StartUp";
// The most profiles, and entries of a Startup folder, read.
constexpr int kMostProfiles = 256;
constexpr int kMostShortcuts = 1024;

// A file the page reads through a library: its bytes, or why there are
// none, then what the isolated copy made of them.
struct Parsed
{
    QByteArray path;
    std::optional<Failed> unreadable; // the file is there but cannot be read
    bool missing = false;             // no such file: no source, and no note
    QByteArray bytes;
    Result<QByteArray> answer = Failed{};
};

// A Startup folder: its files by name, and for each shortcut the file read.
struct Folder
{
    QByteArray path;
    Result<QList<DirEntry>> entries = QList<DirEntry>();
    QList<qsizetype> shortcuts; // per file, its place in the parsed list; -1 when not a shortcut
};

// A user's half of the registry and Startup folder: the Windows
// directory's own, or a profile's.
struct User
{
    QByteArray name;   // the profile's folder; empty for the Windows directory's
    QByteArray folder; // "C:\WINDOWS" or "C:\WINDOWS\PROFILES\ANNE"
    qsizetype hiveFile = -1;
    Folder startup;
    std::shared_ptr<const RegistryHive> hive;
};

class Builder
{
public:
    Builder(const DriveMap &drives, StartupSources &out) : m_drives(drives), m_out(out) {}

    // The file's bytes; a file that is not there is no source, and one that
    // cannot be read is noted.
    std::optional<QByteArray> read(const QByteArray &path)
    {
        Parsed file = fetched(path);
        if (file.missing || !noted(file))
            return std::nullopt;
        return std::move(file.bytes);
    }

    // A file to be read through a library, its bytes read now and parsed
    // with all the others by parseAll(); its place in the list.
    qsizetype want(const QByteArray &path, std::function<IsolatedWork(const QByteArray &)> parse)
    {
        m_parsed.append(fetched(path));
        m_parsers.append(std::move(parse));
        return m_parsed.size() - 1;
    }

    // The hive and shortcut files asked for, all read in one copy of the
    // program: one fork for the page instead of one for each file.
    void parseAll()
    {
        QList<IsolatedWork> works;
        QList<qsizetype> which;
        for (qsizetype i = 0; i < m_parsed.size(); ++i) {
            if (m_parsed[i].missing || m_parsed[i].unreadable)
                continue;
            works.append(m_parsers[i](m_parsed[i].bytes));
            which.append(i);
        }
        const QList<Result<QByteArray>> answers = runIsolatedEach(works);
        for (qsizetype k = 0; k < which.size(); ++k)
            m_parsed[which[k]].answer = answers[k];
    }

    // The keys of a hive the page reads: the Run keys, and the VxD key's
    // sub-keys.
    qsizetype wantHive(const QByteArray &path)
    {
        QList<QByteArray> keys;
        for (const char *key : {"RunServicesOnce", "RunServices", "RunOnce", "Run"})
            keys.append(kCurrentVersion + key);
        return want(path, [keys](const QByteArray &bytes) { return RegistryHive::work(bytes, keys, {kVxD}); });
    }

    // The hive read, once parsed; a failure is noted.
    std::shared_ptr<const RegistryHive> hive(qsizetype file)
    {
        const Parsed &parsed = m_parsed[file];
        if (parsed.missing || !noted(parsed))
            return nullptr;
        Result<RegistryHive> hive = RegistryHive::fromAnswer(parsed.answer);
        if (!hive) {
            m_out.unreadable.append({parsed.path, hive.failure()});
            return nullptr;
        }
        return std::make_shared<const RegistryHive>(std::move(hive).value());
    }

    // A Startup folder's files, and its shortcuts to be parsed.
    Folder wantStartupFolder(const QByteArray &userFolder)
    {
        Folder folder{userFolder + kStartUp, QList<DirEntry>(), {}};
        folder.entries = m_drives.listDirectory(folder.path);
        if (!folder.entries)
            return folder;
        // By name, so the page does not change with the order a folder
        // happens to list its entries in.
        QList<DirEntry> &sorted = folder.entries.value();
        std::sort(sorted.begin(), sorted.end(), [](const DirEntry &a, const DirEntry &b) {
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        });
        // Its files only, and no more of them than are read.
        sorted.removeIf([](const DirEntry &entry) { return entry.isDirectory; });
        if (sorted.size() > kMostShortcuts)
            sorted.resize(kMostShortcuts);
        for (const DirEntry &entry : sorted) {
            const QByteArray name = ansi::encode(entry.name);
            const bool shortcut = ansi::upper(name).endsWith(".LNK");
            folder.shortcuts.append(shortcut ? want(folder.path + '\\' + name, &StartupShortcut::work) : -1);
        }
        return folder;
    }

    // A section of NAME=VALUE lines, unless it has none.
    void section(StartupSection::Kind kind, const QByteArray &source, const QByteArray &key, const QByteArray &title,
                 const QList<std::pair<QByteArray, QByteArray>> &lines)
    {
        if (lines.isEmpty())
            return;
        m_out.sections.append({m_line, kind, source, key});
        add('[' + title + ']');
        for (const auto &[name, value] : lines)
            add((name.isEmpty() ? QByteArray("@") : name) + '=' + value);
    }

    void runKey(const User &user, const QByteArray &source, const char *root, const char *name)
    {
        if (!user.hive)
            return;
        QList<std::pair<QByteArray, QByteArray>> lines;
        for (const RegistryHive::Value &value : user.hive->stringValues(QByteArray(kCurrentVersion + name)))
            lines.append({value.name, value.text});
        const QByteArray key = QByteArray(root) + '\\' + kCurrentVersion + name;
        section(StartupSection::Kind::Programs, source, key,
                user.name.isEmpty() ? key : QByteArray(root) + " (" + user.name + ")\\" + kCurrentVersion + name, lines);
    }

    void startupFolder(const Folder &folder)
    {
        if (!folder.entries) {
            if (folder.entries.kind() != FailureKind::Missing)
                m_out.unreadable.append({folder.path, folder.entries.failure()});
            return;
        }
        QList<std::pair<QByteArray, QByteArray>> lines;
        for (qsizetype i = 0; i < folder.entries->size(); ++i) {
            const QByteArray name = ansi::encode(folder.entries->at(i).name);
            const QByteArray upper = ansi::upper(name);
            const QByteArray path = folder.path + '\\' + name;
            if (folder.shortcuts[i] >= 0) {
                const Parsed &parsed = m_parsed[folder.shortcuts[i]];
                if (parsed.missing || !noted(parsed))
                    continue;
                Result<StartupShortcut> shortcut = StartupShortcut::fromAnswer(parsed.answer);
                if (!shortcut) {
                    m_out.unreadable.append({path, shortcut.failure()});
                    continue;
                }
                // A target with blanks is quoted, as Windows would run it.
                const QByteArray target =
                    shortcut->target.contains(' ') ? '"' + shortcut->target + '"' : shortcut->target;
                lines.append({name, shortcut->arguments.isEmpty() ? target : target + ' ' + shortcut->arguments});
            } else if (upper.endsWith(".PIF") || upper.endsWith(".EXE") || upper.endsWith(".COM")
                       || upper.endsWith(".BAT")) {
                lines.append({name, path}); // the entry is itself the program
            }
        }
        section(StartupSection::Kind::Programs, folder.path, {}, folder.path, lines);
    }

    void staticVxDs(const std::shared_ptr<const RegistryHive> &system, const QByteArray &source)
    {
        if (!system)
            return;
        QList<std::pair<QByteArray, QByteArray>> lines;
        for (const QByteArray &name : system->subKeys(kVxD)) {
            for (const RegistryHive::Value &value : system->stringValues(QByteArray(kVxD + '\\' + name))) {
                if (ansi::upper(value.name) == "STATICVXD" && !value.text.isEmpty())
                    lines.append({name, value.text});
            }
        }
        const QByteArray key = "HKLM\\" + kVxD;
        section(StartupSection::Kind::StaticVxD, source, key, key, lines);
    }

    void batchFile(const QByteArray &path)
    {
        std::optional<QByteArray> bytes = read(path);
        if (!bytes || bytes->isEmpty())
            return;
        m_out.sections.append({m_line, StartupSection::Kind::Batch, path, {}});
        add('[' + path + ']');
        if (bytes->endsWith('\n')) // the last line's break starts no further line
            bytes->chop(1);
        for (const QByteArray &line : bytes->split('\n'))
            add(line.endsWith('\r') ? line.chopped(1) : line);
    }

private:
    // A file's bytes, or that it is missing, or why it cannot be read.
    Parsed fetched(const QByteArray &path) const
    {
        Parsed file{path, std::nullopt, false, {}, Failed{}};
        Result<QByteArray> bytes = m_drives.readFile(path);
        if (bytes)
            file.bytes = std::move(bytes).value();
        else if (bytes.kind() == FailureKind::Missing)
            file.missing = true;
        else
            file.unreadable = bytes.failure();
        return file;
    }

    // False, with the failure noted, when the file could not be read.
    bool noted(const Parsed &parsed)
    {
        if (parsed.unreadable)
            m_out.unreadable.append({parsed.path, *parsed.unreadable});
        return !parsed.unreadable;
    }

    // One line of the page; a line break inside a registry string would
    // start a false line, so it shows as a blank.
    void add(QByteArray line)
    {
        line.replace('\r', ' ').replace('\n', ' ');
        m_out.text += line + "\r\n";
        ++m_line;
    }

    const DriveMap &m_drives;
    StartupSources &m_out;
    int m_line = 0;
    QList<Parsed> m_parsed;
    QList<std::function<IsolatedWork(const QByteArray &)>> m_parsers; // one for each of m_parsed
};

} // namespace

StartupSources StartupSources::read(const DriveMap &drives, const QByteArray &winDir)
{
    StartupSources out;
    if (winDir.isEmpty())
        return out; // without a Windows directory there is no Windows to start
    Builder builder(drives, out);
    const QByteArray systemDat = winDir + "\\SYSTEM.DAT";
    const qsizetype systemFile = builder.wantHive(systemDat);
    QList<User> users{{{}, winDir, builder.wantHive(winDir + "\\USER.DAT"), {}, nullptr}};
    const QByteArray profiles = winDir + "\\PROFILES";
    if (Result<QList<DirEntry>> entries = drives.listDirectory(profiles)) {
        for (const DirEntry &entry : entries.value()) {
            if (!entry.isDirectory || entry.name.startsWith(QLatin1Char('.')) || users.size() > kMostProfiles)
                continue;
            const QByteArray name = ansi::encode(entry.name);
            const QByteArray folder = profiles + '\\' + name;
            users.append({name, folder, builder.wantHive(folder + "\\USER.DAT"), {}, nullptr});
        }
    }
    for (User &user : users)
        user.startup = builder.wantStartupFolder(user.folder);
    builder.parseAll();

    const std::shared_ptr<const RegistryHive> system = builder.hive(systemFile);
    for (User &user : users)
        user.hive = builder.hive(user.hiveFile);

    User machine{{}, winDir, -1, {}, system};
    for (const char *key : {"RunServicesOnce", "RunServices", "RunOnce", "Run"})
        builder.runKey(machine, systemDat, "HKLM", key);
    for (const User &user : users)
        builder.runKey(user, user.folder + "\\USER.DAT", "HKCU", "Run");
    for (const User &user : users)
        builder.startupFolder(user.startup);
    for (const User &user : users)
        builder.runKey(user, user.folder + "\\USER.DAT", "HKCU", "RunOnce");
    builder.staticVxDs(system, systemDat);
    builder.batchFile(winDir + "\\WINSTART.BAT");
    builder.batchFile(winDir + "\\DOSSTART.BAT");
    return out;
}
