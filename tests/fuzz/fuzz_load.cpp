// libFuzzer target: the MSDOS.SYS reader and the whole load sequence, with
// the fuzzer's bytes as every start-up file, loaded twice as a reload does,
// then the audit of what it loaded, section navigation and line edits.
#include "audit/startupaudit.h"
#include "drives/ansitext.h"
#include "drives/drivemap.h"
#include "fuzzdrive.h"
#include "loading/failure.h"
#include "loading/loadsequence.h"
#include "loading/sectionnavigation.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    DriveMap drives(DriveMap::none());
    drives.setDrive(QLatin1Char('C'), std::make_shared<FuzzDrive>(bytes));

    ConfigState state;
    state.BootDelayFlag = true;
    for (int round = 0; round < 2; ++round) {
        try {
            LoadSequence(state, drives).HentKnappClick();
        } catch (const Failure &) {
            // a WinDir naming no drive of this machine: a reported failure
        }
    }
    // Every list holds whole lines: no line break survives the split.
    for (const LineList *list : {&state.ConfigMemo, &state.msdosmemo, &state.Wininimemo, &state.WinIniList}) {
        for (int i = 0; i < list->count(); ++i) {
            const QByteArrayView line = list->lineView(i);
            if (line.contains('\n') || line.contains('\r'))
                std::abort();
        }
    }
    // Every finding stands on a line of its own file, in line order.
    const AuditFindings findings = StartupAudit(state, drives).run();
    for (qsizetype i = 0; i < findings.size(); ++i) {
        const AuditFinding f = findings.at(i);
        if (f.line < 0 || f.line >= (state.*f.file->lines).count())
            std::abort();
        if (i > 0 && findings.at(i - 1).file == f.file && findings.at(i - 1).line > f.line)
            std::abort();
    }
    if (state.ConfigMemo.count() > 0 && ansi::upper(state.ConfigMemo.line(0)).size() != state.ConfigMemo.line(0).size())
        std::abort();
    for (int i = 0; i < state.WinIniList.count(); ++i) {
        state.WinIniList.setSelectedIndex(i);
        sectionnavigation::goToSection(state.WinIniList, state.Wininimemo, sectionnavigation::Scrolling::LookAhead);
        if (state.Wininimemo.selectedIndex() < 0)
            std::abort(); // every header of the section list is in the full list
    }
    if (state.systeminimemo.count() > 0) {
        state.systeminimemo.setLine(0, bytes.left(64));
        if (state.systeminimemo.line(0) != bytes.left(64))
            std::abort();
    }
    return 0;
}
