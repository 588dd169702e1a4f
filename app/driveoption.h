#pragma once

#include "app/commandline.h"
#include "drives/drivemap.h"
#include "drives/result.h"

// The one place that decides what the command line's drives become: the
// machine's disks (folders or images) lettered as DOS letters them, and each
// --drive X= over its letter (a directory, or the FAT volume of IMAGE or
// IMAGE#N: 1 to 4 primary, 5 and up logical). The drives not named come from
// the host's defaults.
Result<DriveMap> openDrives(const QList<CommandLine::DriveArgument> &arguments, const QList<QByteArray> &disks = {});
