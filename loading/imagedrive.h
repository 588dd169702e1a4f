#pragma once

#include "loading/drive.h"

#include <memory>

// A drive read straight from an emulator's disk image through GNU mtools:
// never mounted, never written. mtools runs with an argument list and with
// its user settings shut out, so only the image decides what is read. There
// is no host file behind a name, so nothing can be started from it.
class ImageDrive : public Drive
{
public:
    // Opens the FAT volume of an image (partition 0: the active FAT one, or
    // the image itself when it is a bare volume); nothing, and *error says
    // why in one line, when the image holds none or mtools cannot read it.
    static std::shared_ptr<ImageDrive> open(const QString &image, int partition, QString *error);

    ImageDrive(QString image, qint64 offset);

    Result<QByteArray> readFile(const QStringList &components) const override;
    bool fileExists(const QStringList &components) const override;
    Result<QList<DirEntry>> listDirectory(const QStringList &components) const override;
    std::optional<QString> hostFile(const QStringList &) const override { return std::nullopt; }

    // "::/WINDOWS/WIN.INI": how mtools names a path on the volume.
    static QString mtoolsPath(const QStringList &components);

private:
    struct Run
    {
        bool finished = false;
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run mtools(const QString &tool, const QStringList &arguments) const;
    // Whether the path names a file (1), a directory (0) or nothing (-1).
    int kindOf(const QStringList &components, QString *reason) const;

    QString m_image;
    qint64 m_offset;
};
