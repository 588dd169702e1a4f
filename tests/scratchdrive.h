#pragma once

#include "drives/directorydrive.h"
#include "drives/drivemap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

// A drive C: in a temporary directory, filled by the test.
class ScratchDrive
{
public:
    ScratchDrive() : drives(DriveMap::none())
    {
        drives.setDrive(QLatin1Char('C'), std::make_shared<DirectoryDrive>(dir.path()));
    }

    QString hostPath(const QString &relative) const { return dir.path() + QLatin1Char('/') + relative; }

    void write(const QString &relative, const QByteArray &bytes) const
    {
        const QString path = hostPath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        file.write(bytes);
    }

    void remove(const QString &relative) const { QFile::remove(hostPath(relative)); }

    // The five files of a small, complete machine.
    void writeMachine() const
    {
        write(QStringLiteral("CONFIG.SYS"), "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\n");
        write(QStringLiteral("AUTOEXEC.BAT"), "@ECHO OFF\r\nPATH C:\\WINDOWS\r\n");
        write(QStringLiteral("MSDOS.SYS"),
              "[Paths]\r\nWinDir=C:\\WINDOWS\r\n\r\n[Options]\r\nBootGUI=1\r\n");
        write(QStringLiteral("WINDOWS/WIN.INI"), "[windows]\r\nload=\r\n[Desktop]\r\nWallpaper=(None)\r\n");
        write(QStringLiteral("WINDOWS/SYSTEM.INI"), "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\n");
    }

    QTemporaryDir dir;
    DriveMap drives;
};
