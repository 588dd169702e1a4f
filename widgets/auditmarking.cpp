#include "widgets/auditmarking.h"

#include "audit/startupaudit.h"
#include "drives/ansitext.h"
#include "loading/configstate.h"
#include "widgets/failurereport.h"

#include <QBrush>
#include <QElapsedTimer>

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

namespace {

// A turn of the event loop audits about a millisecond's worth of ordinary
// lines, and never longer than a frame however slow its lines are (a search
// path of absent folders on a disk image), so the window keeps drawing and
// taking keys.
constexpr int kLinesPerSlice = 8192;
constexpr int kLinesPerStep = 512;
// The first slice after a load or an edit is short: it runs in the same turn
// of the event loop that shows the new lines, which should not wait for it.
constexpr int kLinesInFirstSlice = kLinesPerStep;
constexpr qint64 kSliceBudgetMs = 16;

// The most characters of a tooltip's line: about a screen's width.
constexpr qsizetype kLongestTooltipLine = 120;

// What a mark changes of a row.
const QList<int> kMarkRoles{Qt::ForegroundRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole};

} // namespace

AuditMarking::AuditMarking(ConfigState &state, const DriveMap &drives, QObject *parent)
    : QObject(parent), m_state(state), m_drives(drives)
{
    m_slices.setInterval(0);
    connect(&m_slices, &QTimer::timeout, this, &AuditMarking::runSlice);
    for (std::size_t f = 0; f < kLoadOrder.size(); ++f) {
        LineList &list = m_state.*kLoadOrder[f]->lines;
        list.setExtraRoles([this, f](int row, int role) { return data(f, row, role); });
        // A line given new text (an accepted edit) is audited again with
        // what follows it; a reload resets the list and is audited by restart().
        connect(&list, &LineList::dataChanged, this,
                [this, f](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                    if (roles.contains(Qt::DisplayRole))
                        restartFrom(f);
                });
    }
}

AuditMarking::~AuditMarking()
{
    for (const StartupFile *file : kLoadOrder)
        (m_state.*file->lines).setExtraRoles({});
}

void AuditMarking::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        restart(); // drops the marks; turned on, the next load marks
}

void AuditMarking::stop()
{
    m_slices.stop();
    m_audit.reset();
}

void AuditMarking::restart()
{
    restartFrom(0);
}

void AuditMarking::restartFrom(std::size_t file)
{
    // A run that has not yet reached the file starts again where it stands.
    if (m_audit)
        file = std::min(file, m_audit->fileUnderWay());
    m_slices.stop();
    m_audit.reset();
    for (std::size_t f = file; f < m_marks.size(); ++f) {
        const bool marked = !m_marks[f].isEmpty();
        m_marks[f] = AuditFindings();
        LineList &list = m_state.*kLoadOrder[f]->lines;
        if (marked)
            list.extraRolesChanged(0, list.count() - 1, kMarkRoles);
    }
    if (!m_enabled)
        return;
    m_audit = std::make_unique<StartupAudit>(m_state, m_drives);
    m_audit->startAt(*kLoadOrder[file]);
    m_firstSlice = true;
    m_slices.start();
}

void AuditMarking::stopForLackOfMemory()
{
    m_slices.stop();
    m_audit.reset();
    failurereport::report(tr("Ikke nok minne til å merke filene som mangler; merkingen er stoppet."));
}

void AuditMarking::runSlice()
{
    AuditFindings found;
    bool more = true;
    try {
        QElapsedTimer clock;
        clock.start();
        int lines = 0;
        const int most = m_firstSlice ? kLinesInFirstSlice : kLinesPerSlice;
        // The first slice, in the turn that shows the lines, begins nothing
        // larger than itself (MSDOS.SYS's marks need all of a CONFIG.SYS of
        // thousands of lines read): that waits for the next turn.
        if (std::exchange(m_firstSlice, false) && m_audit->leastLinesNext() > most)
            return;
        do {
            more = m_audit->runSome(kLinesPerStep, found);
            lines += kLinesPerStep;
        } while (more && lines < most && clock.elapsed() < kSliceBudgetMs);
    } catch (const std::bad_alloc &) {
        stopForLackOfMemory();
        return;
    }
    // Each file's findings to its own marks; the views redraw the stretch
    // of lines that gained a mark, once.
    std::array<std::pair<int, int>, startupfiles::kCount> marked;
    marked.fill({INT_MAX, -1});
    for (const AuditFinding &finding : found) {
        const std::size_t f = startupfiles::indexIn(kLoadOrder, *finding.file);
        m_marks[f].append(finding);
        if (!finding.found)
            marked[f] = {std::min(marked[f].first, finding.line), std::max(marked[f].second, finding.line)};
    }
    for (std::size_t f = 0; f < marked.size(); ++f) {
        (m_state.*kLoadOrder[f]->lines).extraRolesChanged(marked[f].first, marked[f].second, kMarkRoles);
    }
    if (!more) {
        m_slices.stop();
        m_audit.reset(); // ends its pass over the drives
        emit finished();
    }
}

QString AuditMarking::missingText(std::size_t file, int row, bool firstOnly) const
{
    const AuditFindings &findings = m_marks[file];
    const auto [first, last] = findings.findingsOfLine(row);
    QString text;
    for (qsizetype i = first; i < last; ++i) {
        const AuditFinding f = findings.at(i);
        if (f.found)
            continue;
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += tr("%1 finnes ikke").arg(ansi::decode(f.name));
        if (!f.source.isEmpty() && f.sourceLine >= 0 && f.file->audit == StartupFile::AuditRules::Batch)
            text += tr(" (%1, linje %2)").arg(ansi::decode(f.source)).arg(f.sourceLine + 1); // a called batch file
        if (firstOnly)
            break;
    }
    return text;
}

QVariant AuditMarking::data(std::size_t file, int row, int role) const
{
    // The tooltip, and for a screen reader the row's description, name what
    // is missing: the colour alone tells nothing to whoever cannot see it.
    if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole) {
        QString missing = missingText(file, row, false);
        if (missing.isEmpty())
            return {};
        // A tooltip does not wrap a name without blanks: a name of
        // thousands of characters would run off the screen. Its middle goes;
        // a screen reader still gets it whole.
        if (role == Qt::ToolTipRole) {
            QStringList lines = missing.split(QLatin1Char('\n'));
            for (QString &line : lines) {
                if (line.size() > kLongestTooltipLine)
                    line = line.left(kLongestTooltipLine / 2) + QChar(0x2026) + line.right(kLongestTooltipLine / 2);
            }
            missing = lines.join(QLatin1Char('\n'));
        }
        return missing;
    }
    if (role == Qt::ForegroundRole && !missingText(file, row, true).isEmpty())
        return QBrush(missingColour());
    return {};
}
