#pragma once

#include <QString>

// The image cases: `--report` and `--audit` on a drive kept in a 2 GiB disk
// image of each format against the same files as a folder, and the peak
// memory of all processes on the raw image and a dynamic VHD.
void benchImages(const QString &sampleDrive);
