#include "app/headless.h"

#include "loading/ansitext.h"
#include "loading/configstate.h"
#include "loading/drivemap.h"
#include "loading/failure.h"
#include "editing/filecheck.h"
#include "loading/loadsequence.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace headless {
namespace {

QJsonArray linesJson(const LineList &list)
{
    QJsonArray lines;
    for (int i = 0; i < list.count(); ++i)
        lines.append(ansi::decode(list.lineView(i)));
    return lines;
}

QJsonObject fileJson(const LineList &lines)
{
    return {{QStringLiteral("lines"), linesJson(lines)}};
}

QJsonObject fileJson(const LineList &lines, const LineList &sections)
{
    return {{QStringLiteral("lines"), linesJson(lines)},
            {QStringLiteral("sections"), linesJson(sections)}};
}

void print(const QJsonObject &object)
{
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
    std::fflush(stdout);
}

} // namespace

QJsonObject reportJson(const ConfigState &s, const QString &error)
{
    return {
        {QStringLiteral("WinDir"), ansi::decode(s.WD)},
        {QStringLiteral("WinBootDir"), ansi::decode(s.WBD)},
        {QStringLiteral("HostWinBootDrv"), ansi::decode(s.HWBD)},
        {QStringLiteral("WinVer"), ansi::decode(s.WV)},
        {QStringLiteral("BootMulti"), s.BM},
        {QStringLiteral("BootGUI"), s.BGUI},
        {QStringLiteral("DoubleBuffer"), s.DB},
        {QStringLiteral("AutoScan"), s.ASC},
        {QStringLiteral("BootDelay"), s.BD},
        {QStringLiteral("Network"), s.NW},
        {QStringLiteral("msdos.sys"), fileJson(s.msdosmemo, s.msdoslist)},
        {QStringLiteral("config.sys"), fileJson(s.ConfigMemo)},
        {QStringLiteral("autoexec.bat"), fileJson(s.AutoMemo)},
        {QStringLiteral("win.ini"), fileJson(s.Wininimemo, s.WinIniList)},
        {QStringLiteral("system.ini"), fileJson(s.systeminimemo, s.systeminilist)},
        {QStringLiteral("error"), error.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(error)},
    };
}

QJsonObject checkJson(const CheckResult &r)
{
    return {
        {QStringLiteral("path"), ansi::decode(r.path)},
        {QStringLiteral("found"), r.found},
        {QStringLiteral("message"), ansi::decode(r.message)},
        {QStringLiteral("runnable"), r.runnable},
        {QStringLiteral("runPath"), r.found ? QJsonValue(ansi::decode(r.runPath))
                                            : QJsonValue(QJsonValue::Null)},
    };
}

int runReport(const DriveMap &drives)
{
    // The same load as the window's first showing.
    ConfigState state;
    state.BootDelayFlag = true;
    QString error;
    try {
        LoadSequence(state, drives).HentKnappClick();
    } catch (const Failure &failure) {
        error = failure.message();
    }
    print(reportJson(state, error));
    return error.isNull() ? 0 : 1;
}

int runCheck(const QByteArray &line, const DriveMap &drives)
{
    const CheckResult result = checkLine(line, drives);
    print(checkJson(result));
    return result.found ? 0 : 1;
}

} // namespace headless
