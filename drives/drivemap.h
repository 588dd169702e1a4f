#pragma once

#include "drives/drive.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The drives of the PC, by letter: what every DOS path of the program goes
// through. Letters not named explicitly come from a fallback (a Wine prefix's
// dosdevices on Linux, the host's own drives on Windows).
class DriveMap
{
public:
    using Fallback = std::function<std::shared_ptr<Drive>(QChar letter)>;

    DriveMap();                         // the host's default drives
    explicit DriveMap(Fallback fallback);

    void setDrive(QChar letter, std::shared_ptr<Drive> drive);

    // One load, audit or check: while it lasts, each directory of a drive is
    // listed at most once.
    class Pass
    {
    public:
        explicit Pass(const DriveMap &drives);
        ~Pass();
        Pass(const Pass &) = delete;
        Pass &operator=(const Pass &) = delete;

    private:
        const DriveMap &m_drives;
    };

    // The bytes of a file, or why they cannot be had (the reason does not
    // name the path: the caller knows it).
    Result<QByteArray> readFile(QByteArrayView dosPath) const;
    bool fileExists(QByteArrayView dosPath) const;
    std::optional<QString> hostFile(QByteArrayView dosPath) const;
    // The entries of a directory, or why it cannot be listed.
    Result<QList<DirEntry>> listDirectory(QByteArrayView dosPath) const;
    Result<bool> visitDirectory(QByteArrayView dosPath, Drive::Visitor &visit) const;

    static Fallback hostDefault();
    static Fallback none();

private:
    std::shared_ptr<Drive> drive(QChar letter) const;
    template <typename Visit>
    void forEachDrive(Visit visit) const;

    QHash<QChar, std::shared_ptr<Drive>> m_drives;
    Fallback m_fallback;
    // The fallback's drives, made once per letter.
    mutable QHash<QChar, std::shared_ptr<Drive>> m_fallbackDrives;
    mutable int m_passes = 0;
};
