#include "app/auditcommand.h"

#include "app/escaping.h"

#include "app/jsonwriter.h"
#include "audit/auditload.h"
#include "audit/startupaudit.h"
#include "drives/ansitext.h"
#include "drives/dospath.h"
#include "loading/configstate.h"
#include "loading/failure.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

QString filePath(const StartupFile &file, const ConfigState &state)
{
    return DosPath::parse(file.dosPath(state)).display();
}

void writeText(const ConfigState &state, const QList<UnreadableFile> &unreadable, const AuditFindings &findings)
{
    // In the user's language, looked up once.
    const QString unreadableLine = QCoreApplication::translate("auditcommand", "%1: kan ikke leses (%2)\n");
    const QString missingLine = QCoreApplication::translate("auditcommand", "%1: %2 finnes ikke\n");
    QByteArray out;
    qsizetype next = 0; // the next finding to write
    for (const StartupFile *file : kLoadOrder) {
        const QString path = visible(filePath(*file, state));
        for (const UnreadableFile &u : unreadable) {
            if (u.file == file) {
                const QString where = u.source.isEmpty() ? path : visible(DosPath::parse(u.source).display());
                out += unreadableLine.arg(where, visible(u.failure.reason)).toUtf8();
            }
        }
        for (; next < findings.size() && findings.at(next).file == file; ++next) {
            const AuditFinding f = findings.at(next);
            if (!f.found) {
                // A name written elsewhere than on the line (a called batch
                // file, a hive, a shortcut) is told where it is written.
                QString where = f.source.isEmpty() ? QStringLiteral("%1:%2").arg(path).arg(f.line + 1)
                                                   : visible(ansi::decode(f.source));
                if (!f.source.isEmpty() && f.sourceLine >= 0)
                    where += QStringLiteral(":%1").arg(f.sourceLine + 1);
                if (!f.sourceKey.isEmpty())
                    where += QStringLiteral(": ") + visible(ansi::decode(f.sourceKey));
                out += missingLine.arg(where, visible(ansi::decode(f.name))).toUtf8();
            }
            if (out.size() > 65536) {
                std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
                out.clear();
            }
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
}

void writeJson(const ConfigState &state, const QList<UnreadableFile> &unreadable, const AuditFindings &findings)
{
    JsonWriter json(stdout);
    json.beginObject();
    json.key(u"missing");
    json.beginArray();
    for (const AuditFinding &f : findings) {
        if (f.found)
            continue;
        const bool elsewhere = !f.source.isEmpty();
        json.beginObject();
        json.key(u"file");
        json.value(elsewhere ? ansi::decode(f.source) : filePath(*f.file, state));
        if (!elsewhere || f.sourceLine >= 0) { // a hive or a shortcut has no lines
            json.key(u"line");
            json.value(qint64(elsewhere ? f.sourceLine : f.line) + 1);
        }
        if (!f.sourceKey.isEmpty()) {
            json.key(u"key");
            json.value(ansi::decode(f.sourceKey));
        }
        json.key(u"name");
        json.value(ansi::decode(f.name));
        json.key(u"path");
        json.value(ansi::decode(f.path));
        if (elsewhere && f.file->audit == StartupFile::AuditRules::Batch) {
            // The start-up file's line that runs the batch file.
            json.key(u"calledFrom");
            json.beginObject();
            json.key(u"file");
            json.value(filePath(*f.file, state));
            json.key(u"line");
            json.value(qint64(f.line) + 1);
            json.endObject();
        }
        json.endObject();
    }
    json.endArray();
    json.key(u"unreadable");
    json.beginArray();
    for (const UnreadableFile &u : unreadable) {
        json.beginObject();
        json.key(u"file");
        json.value(u.source.isEmpty() ? filePath(*u.file, state) : DosPath::parse(u.source).display());
        json.key(u"reason");
        json.value(u.failure.reason);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

} // namespace

int runAudit(const DriveMap &drives, bool json)
{
    ConfigState state;
    QList<UnreadableFile> unreadable;
    try {
        unreadable = loadForAudit(state, drives);
    } catch (const Failure &failure) {
        // Not a file that cannot be read (those are noted), but a file the
        // lists cannot hold: nothing sensible to audit.
        std::fprintf(stderr, "vendral: %s\n", visible(failure.message()).toUtf8().constData());
        return 1;
    }
    const AuditFindings findings = StartupAudit(state, drives).run();
    if (json)
        writeJson(state, unreadable, findings);
    else
        writeText(state, unreadable, findings);
    bool missing = !unreadable.isEmpty();
    for (qsizetype i = 0; i < findings.size() && !missing; ++i)
        missing = !findings.at(i).found;
    return missing ? 1 : 0;
}
