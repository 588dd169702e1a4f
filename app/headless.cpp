#include "app/headless.h"

#include "app/auditcommand.h"
#include "app/commandline.h"
#include "app/driveoption.h"
#include "app/escaping.h"
#include "app/jsonwriter.h"
#include "drives/ansitext.h"
#include "editing/filecheck.h"
#include "loading/configstate.h"
#include "loading/failure.h"
#include "loading/loadsequence.h"
#include "loading/startupfiles.h"

#include <QCoreApplication>

#include <algorithm>
#include <functional>
#include <new>
#include <utility>
#include <vector>

namespace headless {
namespace {

void writeLines(JsonWriter &json, const LineList &list)
{
    json.beginArray();
    for (int i = 0; i < list.count(); ++i)
        json.value1252(list.lineView(i));
    json.endArray();
}

void writeFile(JsonWriter &json, const ConfigState &s, const StartupFile &file)
{
    json.beginObject();
    json.key(u"lines");
    writeLines(json, s.*file.lines);
    if (file.sections) {
        json.key(u"sections");
        writeLines(json, s.*file.sections);
    }
    json.endObject();
}

// The members of an object, written in the order of their names, as a JSON
// document orders them.
using Members = std::vector<std::pair<QString, std::function<void()>>>;

void writeObject(JsonWriter &json, Members members)
{
    std::sort(members.begin(), members.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    json.beginObject();
    for (const auto &[name, write] : members) {
        json.key(name);
        write();
    }
    json.endObject();
}

int report(const DriveMap &drives)
{
    ConfigState state;
    QString error;
    try {
        loadAtStart(state, drives);
    } catch (const Failure &failure) {
        error = failure.message();
    } catch (const std::bad_alloc &) {
        error = QCoreApplication::translate("headless", "Ikke nok minne til å lese oppstartsfilene.");
    }
    JsonWriter json(stdout);
    writeReport(json, state, error);
    return error.isNull() ? 0 : 1;
}

int check(const QByteArray &line, const DriveMap &drives)
{
    const CheckResult result = checkLine(line, drives);
    JsonWriter json(stdout);
    writeCheck(json, result);
    return result.found ? 0 : 1;
}

} // namespace

void writeReport(JsonWriter &json, const ConfigState &s, const QString &error)
{
    const auto text = [&json](const QByteArray &value) { return [&json, &value] { json.value1252(value); }; };
    const auto flag = [&json](bool value) { return [&json, value] { json.value(value); }; };
    Members members{
        {QStringLiteral("WinDir"), text(s.WD)},
        {QStringLiteral("WinBootDir"), text(s.WBD)},
        {QStringLiteral("HostWinBootDrv"), text(s.HWBD)},
        {QStringLiteral("WinVer"), text(s.WV)},
        {QStringLiteral("BootMulti"), flag(s.BM)},
        {QStringLiteral("BootGUI"), flag(s.BGUI)},
        {QStringLiteral("DoubleBuffer"), flag(s.DB)},
        {QStringLiteral("AutoScan"), flag(s.ASC)},
        {QStringLiteral("BootDelay"), flag(s.BD)},
        {QStringLiteral("Network"), flag(s.NW)},
        {QStringLiteral("error"), [&json, &error] {
             if (error.isNull())
                 json.null();
             else
                 json.value(error);
         }},
    };
    for (const StartupFile *file : startupfiles::all)
        members.emplace_back(QLatin1String(file->key), [&json, &s, file] { writeFile(json, s, *file); });
    writeObject(json, std::move(members));
}

void writeCheck(JsonWriter &json, const CheckResult &r)
{
    writeObject(json, {
        {QStringLiteral("path"), [&] { json.value(ansi::decode(r.path)); }},
        {QStringLiteral("found"), [&] { json.value(r.found); }},
        {QStringLiteral("message"), [&] { json.value(ansi::decode(r.message)); }},
        {QStringLiteral("runnable"), [&] { json.value(r.runnable); }},
        {QStringLiteral("runPath"), [&] {
             if (r.found)
                 json.value(ansi::decode(r.runPath));
             else
                 json.null();
         }},
    });
}

int refuse(const QString &reason)
{
    const QString line = QStringLiteral("vendral: ") + visible(reason);
    std::fputs(line.toUtf8().append('\n').constData(), stderr);
    return 2;
}

namespace {

int runMode(const CommandLine &options)
{
    switch (options.mode) {
    case CommandLine::Mode::Help:
        std::fputs(CommandLine::usage().toUtf8().constData(), stdout);
        return 0;
    case CommandLine::Mode::Version:
        std::fputs("vendral " VENDRAL_VERSION "\n", stdout);
        return 0;
    case CommandLine::Mode::Report:
    case CommandLine::Mode::Check:
    case CommandLine::Mode::Audit:
    case CommandLine::Mode::Window:
        break;
    }
    const Result<DriveMap> drives = openDrives(options.drives, options.disks);
    if (!drives)
        return refuse(drives.reason());
    if (options.mode == CommandLine::Mode::Check)
        return check(options.checkLine, *drives);
    if (options.mode == CommandLine::Mode::Audit)
        return runAudit(*drives, options.json);
    return report(*drives);
}

} // namespace

int run(const CommandLine &options)
{
    // Start-up files larger than the memory: one line, not an abort.
    try {
        return runMode(options);
    } catch (const std::bad_alloc &) {
        return refuse(QCoreApplication::translate("headless", "ikke nok minne til å gjøre ferdig; oppstartsfilene er større enn det vendral får "
                                     "plass til"));
    }
}

} // namespace headless
