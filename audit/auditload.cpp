#include "audit/auditload.h"

#include "audit/auditfinding.h"
#include "drives/drivemap.h"
#include "loading/configstate.h"

#include <algorithm>

QList<UnreadableFile> loadForAudit(ConfigState &state, const DriveMap &drives)
{
    const DriveMap::Pass pass(drives);
    state.BootDelayFlag = true;
    LoadSequence load(state, drives, LoadSequence::OnFailure::ReadOnPastFailures);
    load.HentKnappClick();
    // In the order the machine reads the files, which the audit reports in.
    QList<UnreadableFile> unreadable;
    for (const StartupFile *file : kLoadOrder) {
        const auto found = std::find_if(load.unreadable().cbegin(), load.unreadable().cend(),
                                        [file](const UnreadableFile &u) { return u.file == file; });
        if (found != load.unreadable().cend())
            unreadable.append(*found);
    }
    return unreadable;
}
