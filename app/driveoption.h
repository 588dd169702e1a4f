#pragma once

#include "app/commandline.h"
#include "drives/drivemap.h"
#include "drives/result.h"

// The one place that decides what a --drive value becomes: the directory it
// names, or the FAT volume of a disk image (IMAGE, or IMAGE#N for partition
// N, 1 to 4). The drives not named come from the host's defaults.
Result<DriveMap> openDrives(const QList<CommandLine::DriveArgument> &arguments);
