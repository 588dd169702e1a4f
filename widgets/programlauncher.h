#pragma once

#include <QByteArray>

class DriveMap;

// Starts the program a successful check found, the way the desktop opens a
// file: through the Windows shell on Windows; elsewhere the host file behind
// the DOS path goes to the desktop's default open action (Wine for .EXE files
// where it is installed). Never through a command line; a failure is silent.
void openProgram(const QByteArray &runPath, const DriveMap &drives);
