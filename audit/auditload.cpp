#include "audit/auditload.h"

#include "audit/auditfinding.h"
#include "loading/ansitext.h"
#include "loading/configstate.h"
#include "loading/dospath.h"
#include "loading/drivemap.h"
#include "loading/failure.h"
#include "loading/loadsequence.h"

#include <memory>

namespace {

struct Note
{
    QString dosPath;
    QString reason;
};

// One letter of the real drives, seen through DOS paths; a file that cannot
// be read is noted and read as empty.
class NotingDrive : public Drive
{
public:
    NotingDrive(QChar letter, const DriveMap &drives, QList<Note> &notes)
        : m_letter(letter), m_drives(drives), m_notes(notes)
    {
    }

    Result<QByteArray> readFile(const QStringList &components) const override
    {
        try {
            return m_drives.readFile(path(components));
        } catch (const FileError &error) {
            m_notes.append({error.dosPath(), error.reason()});
            return QByteArray();
        }
    }
    bool fileExists(const QStringList &components) const override { return m_drives.fileExists(path(components)); }
    Result<QList<DirEntry>> listDirectory(const QStringList &components) const override
    {
        return m_drives.listDirectory(path(components));
    }
    std::optional<QString> hostFile(const QStringList &components) const override
    {
        return m_drives.hostFile(path(components));
    }

private:
    QByteArray path(const QStringList &components) const
    {
        return ansi::encode(QString(QString(m_letter) + QStringLiteral(":\\") + components.join(QLatin1Char('\\'))));
    }

    QChar m_letter;
    const DriveMap &m_drives;
    QList<Note> &m_notes;
};

QString shownPath(const QByteArray &dosPath)
{
    return DosPath::parse(dosPath).display();
}

} // namespace

QList<UnreadableFile> loadForAudit(ConfigState &state, const DriveMap &drives)
{
    QList<Note> notes;
    const DriveMap noting([&](QChar letter) { return std::make_shared<NotingDrive>(letter, drives, notes); });
    const DriveMap::Pass pass(drives);
    loadAtStart(state, noting);

    QList<UnreadableFile> unreadable;
    for (const StartupFile *file : kLoadOrder) {
        const QString path = shownPath(file->dosPath(state));
        for (const Note &note : std::as_const(notes)) {
            if (note.dosPath.compare(path, Qt::CaseInsensitive) == 0) {
                unreadable.append({file, note.reason});
                break;
            }
        }
    }
    return unreadable;
}
