#pragma once

#include "audit/auditfinding.h"

#include <QColor>
#include <QObject>
#include <QTimer>

#include <array>
#include <memory>

class DriveMap;
class StartupAudit;
struct ConfigState;

// Marks the lines of the five full lists that name a file the drive lacks:
// such a line is drawn in the maroon of the edit dialog's "finnes ikke" and
// its tooltip names the file. Nothing else of the lists changes. The audit
// runs in slices on the event loop after each load, so a large load is
// shown at once and its marks follow. A line whose text changes may change
// what every later line finds (a PATH, a CD, WinDir), so its file and every
// file loaded after it are audited again.
class AuditMarking : public QObject
{
    Q_OBJECT

public:
    // The colour of the edit dialog's "fins" label.
    static QColor missingColour() { return QColor(0x80, 0x00, 0x00); }

    AuditMarking(ConfigState &state, const DriveMap &drives, QObject *parent = nullptr);
    ~AuditMarking() override;

    // Drops the marks and audits the lists as they now are.
    void restart();
    // Ends the audit under way (and its pass over the drives); the marks stay.
    void stop();
    bool isRunning() const { return m_slices.isActive(); }

    // Off, no line is marked and nothing is audited (for the benchmark's
    // comparison); turned on again, the next load is marked.
    void setEnabled(bool enabled);

signals:
    void finished();

private:
    void runSlice();
    // Drops the marks of the file (by place in kLoadOrder) and of every
    // file after it, and audits them again.
    void restartFrom(std::size_t file);
    // Out of memory: the marks so far stay, the audit ends, the user is told once.
    void stopForLackOfMemory();
    QVariant data(std::size_t file, int row, int role) const;
    // What the line names that is missing, a line each (or the first only).
    QString missingText(std::size_t file, int row, bool firstOnly) const;

    ConfigState &m_state;
    const DriveMap &m_drives;
    std::unique_ptr<StartupAudit> m_audit;
    std::array<AuditFindings, startupfiles::kCount> m_marks; // by place in kLoadOrder, in line order
    QTimer m_slices;
    bool m_enabled = true;
    bool m_firstSlice = false; // the next slice is the first of a run
};
