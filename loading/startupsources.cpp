#include "loading/startupsources.h"

#include "drives/ansitext.h"
#include "drives/drivemap.h"
#include "loading/registryhive.h"
#include "loading/startupshortcut.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace {

const QByteArray kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const QByteArray kVxD = "System\\CurrentControlSet\\Services\\VxD";
const QByteArray kStartUp = "\\Start Menu\\Programs\\StartUp";
// The most profiles, and entries of a Startup folder, read.
constexpr int kMostProfiles = 256;
constexpr int kMostShortcuts = 1024;

// A user's half of the registry and Startup folder: the Windows
// directory's own, or a profile's.
struct User
{
    QByteArray name;   // the profile's folder; empty for the Windows directory's
    QByteArray folder; // "C:\WINDOWS" or "C:\WINDOWS\PROFILES\ANNE"
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
        Result<QByteArray> bytes = m_drives.readFile(path);
        if (!bytes) {
            if (bytes.kind() != FailureKind::Missing)
                m_out.unreadable.append({path, bytes.failure()});
            return std::nullopt;
        }
        return std::move(bytes).value();
    }

    // The keys of a hive the page reads: the Run keys, and the VxD key's
    // sub-keys.
    std::shared_ptr<const RegistryHive> hive(const QByteArray &path)
    {
        std::optional<QByteArray> bytes = read(path);
        if (!bytes)
            return nullptr;
        QList<QByteArray> keys;
        for (const char *key : {"RunServicesOnce", "RunServices", "RunOnce", "Run"})
            keys.append(kCurrentVersion + key);
        Result<RegistryHive> hive = RegistryHive::read(std::move(*bytes), keys, {kVxD});
        if (!hive) {
            m_out.unreadable.append({path, hive.failure()});
            return nullptr;
        }
        return std::make_shared<const RegistryHive>(std::move(hive).value());
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

    void startupFolder(const User &user)
    {
        const QByteArray folder = user.folder + kStartUp;
        Result<QList<DirEntry>> entries = m_drives.listDirectory(folder);
        if (!entries) {
            if (entries.kind() != FailureKind::Missing)
                m_out.unreadable.append({folder, entries.failure()});
            return;
        }
        QList<std::pair<QByteArray, QByteArray>> lines;
        int entriesRead = 0;
        // By name, so the page does not change with the order a folder
        // happens to list its entries in.
        QList<DirEntry> sorted = entries.value();
        std::sort(sorted.begin(), sorted.end(), [](const DirEntry &a, const DirEntry &b) {
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        });
        for (const DirEntry &entry : sorted) {
            if (entry.isDirectory || ++entriesRead > kMostShortcuts)
                continue;
            const QByteArray name = ansi::encode(entry.name);
            const QByteArray upper = ansi::upper(name);
            const QByteArray path = folder + '\\' + name;
            if (upper.endsWith(".LNK")) {
                std::optional<QByteArray> bytes = read(path);
                if (!bytes)
                    continue;
                Result<StartupShortcut> shortcut = StartupShortcut::read(std::move(*bytes));
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
        section(StartupSection::Kind::Programs, folder, {}, folder, lines);
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
};

} // namespace

StartupSources StartupSources::read(const DriveMap &drives, const QByteArray &winDir)
{
    StartupSources out;
    if (winDir.isEmpty())
        return out; // without a Windows directory there is no Windows to start
    Builder builder(drives, out);
    const QByteArray systemDat = winDir + "\\SYSTEM.DAT";
    const std::shared_ptr<const RegistryHive> system = builder.hive(systemDat);

    QList<User> users{{{}, winDir, builder.hive(winDir + "\\USER.DAT")}};
    const QByteArray profiles = winDir + "\\PROFILES";
    if (Result<QList<DirEntry>> entries = drives.listDirectory(profiles)) {
        for (const DirEntry &entry : entries.value()) {
            if (!entry.isDirectory || entry.name.startsWith(QLatin1Char('.')) || users.size() > kMostProfiles)
                continue;
            const QByteArray name = ansi::encode(entry.name);
            const QByteArray folder = profiles + '\\' + name;
            users.append({name, folder, builder.hive(folder + "\\USER.DAT")});
        }
    }

    User machine{{}, winDir, system};
    for (const char *key : {"RunServicesOnce", "RunServices", "RunOnce", "Run"})
        builder.runKey(machine, systemDat, "HKLM", key);
    for (const User &user : users)
        builder.runKey(user, user.folder + "\\USER.DAT", "HKCU", "Run");
    for (const User &user : users)
        builder.startupFolder(user);
    for (const User &user : users)
        builder.runKey(user, user.folder + "\\USER.DAT", "HKCU", "RunOnce");
    builder.staticVxDs(system, systemDat);
    builder.batchFile(winDir + "\\WINSTART.BAT");
    builder.batchFile(winDir + "\\DOSSTART.BAT");
    return out;
}
