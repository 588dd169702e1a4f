#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

struct CheckResult;
struct ConfigState;
class DriveMap;

// The window's load and the edit dialog's check, run without a window, with
// their results as JSON on standard output.
namespace headless {

QJsonObject reportJson(const ConfigState &state, const QString &error);
QJsonObject checkJson(const CheckResult &result);

// Exit codes: 0 when the load completed (the file was found), 1 otherwise.
int runReport(const DriveMap &drives);
int runCheck(const QByteArray &line, const DriveMap &drives);

} // namespace headless
