#pragma once

class DriveMap;

// vendral --audit: every file the start-up would load that the drive lacks,
// one line each in load order, "C:\CONFIG.SYS:4: C:\CDROM\OAKCDROM.SYS finnes
// ikke", and a line for each start-up file that cannot be read; or the same
// as JSON. Gives 0 when nothing is missing, 1 otherwise.
int runAudit(const DriveMap &drives, bool json);
