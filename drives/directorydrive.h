#pragma once

#include "drives/drive.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringView>

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
    Result<bool> visitDirectory(const QStringList &components, Visitor &visit) const override;
    std::optional<QString> hostFile(const QStringList &components) const override;

    // How many directories were read from the host so far.
    int listingsRead() const { return m_listingsRead; }

protected:
    void forgetListings() const override { m_listings.clear(); }

private:
    // A directory's entries as read from the host, their names one after
    // another in one buffer as the host spells them. How DOS sees a name is
    // worked out where it is needed: most are plain ASCII, the same either way.
    struct HostListing
    {
        struct Entry
        {
            quint32 at;     // the names are held to 2 GB in all
            quint16 length; // a host name has at most 255 bytes
            bool isDirectory;
        };
        QByteArray hostNames;
        std::vector<Entry> entries;

        QByteArrayView hostName(const Entry &e) const { return QByteArrayView(hostNames).sliced(e.at, e.length); }
    };
    // The path below the folder (opened as rootFd), in the host's bytes,
    // that the components name, or why there is none.
    Result<QByteArray> resolve(int rootFd, const QStringList &components) const;
    // The entries of a directory below the folder; nothing, and *error
    // holds the errno, when it cannot be read.
    const HostListing *listing(int rootFd, const QByteArray &relative, int *error) const;
    // The listing of the directory the components name, or why there is none.
    Result<const HostListing *> listingOf(const QStringList &components) const;
    // The path below the folder of a regular file the components name;
    // `realPath` gets where it really lies, links resolved.
    std::optional<QByteArray> regularFile(const QStringList &components, QByteArray *realPath = nullptr) const;

    QByteArray m_root;
    mutable QHash<QByteArray, HostListing> m_listings;
    mutable int m_listingsRead = 0;
};
