#pragma once

#include "drives/drive.h"

#include <QByteArray>
#include <QHash>

#include <vector>

// A drive kept as a directory of the host: a mounted disk, a copied folder or
// a Wine prefix's drive_c. Names are matched without regard to case, the
// exact name first, so a directory of upper-case names costs no listing; a
// directory that must be listed is listed once per pass (see Drive::Pass).
//
// Everything is opened below the drive's folder and decided on the open
// file: a link is followed only while it stays inside the folder (the folder
// itself may be a link), a FIFO or device is never read, and a file is read
// up to the size it had when it was opened. Names are the host's own bytes,
// so a folder whose names are not UTF-8 can be read too.
class DirectoryDrive : public Drive
{
public:
    explicit DirectoryDrive(QByteArray root);
    explicit DirectoryDrive(const QString &root);

    Result<QByteArray> readFile(const QStringList &components) const override;
    bool fileExists(const QStringList &components) const override;
    Result<QList<DirEntry>> listDirectory(const QStringList &components) const override;
    std::optional<QString> hostFile(const QStringList &components) const override;

    // How many directories were read from the host so far.
    int listingsRead() const { return m_listingsRead; }

protected:
    void forgetListings() const override { m_listings.clear(); }

private:
    struct HostEntry
    {
        QString name;     // as the DOS side sees it
        QByteArray bytes; // as the host spells it
        bool isDirectory;
    };
    // The path below the folder (opened as rootFd), in the host's bytes,
    // that the components name, or why there is none.
    Result<QByteArray> resolve(int rootFd, const QStringList &components) const;
    // The entries of a directory below the folder; nothing, and *error
    // holds the errno, when it cannot be read.
    const std::vector<HostEntry> *listing(int rootFd, const QByteArray &relative, int *error) const;
    // The path below the folder of a regular file the components name;
    // `realPath` gets where it really lies, links resolved.
    std::optional<QByteArray> regularFile(const QStringList &components, QByteArray *realPath = nullptr) const;

    QByteArray m_root;
    mutable QHash<QByteArray, std::vector<HostEntry>> m_listings;
    mutable int m_listingsRead = 0;
};
