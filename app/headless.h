#pragma once

#include <QString>

#include <cstdio>

struct CheckResult;
struct CommandLine;
struct ConfigState;
class JsonWriter;

// The commands that run without a window: the load and the edit dialog's
// check with their results as JSON on standard output, the usage and the
// version.
namespace headless {

// Runs the command the command line names (any mode but the window) and
// gives the exit code: 0 when the load completed, the file was found or
// nothing is missing, 1 otherwise, 2 when a drive cannot be opened.
int run(const CommandLine &options);

void writeReport(JsonWriter &json, const ConfigState &state, const QString &error);
void writeCheck(JsonWriter &json, const CheckResult &result);

// Prints "vendral: " and the reason on one line of standard error (control
// characters made visible) and gives the exit code for bad arguments, 2.
int refuse(const QString &reason);

} // namespace headless
