#pragma once

#include <QString>

// The image case: `--report` on a drive kept in a 2 GiB dynamic VHD against
// the same drive as a raw image, time and peak memory of all processes.
void benchImages(const QString &sampleDrive);
