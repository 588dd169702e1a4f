#pragma once

#include "loading/drive.h"

// A drive kept as a directory of the host: a mounted disk, a copied folder or
// a Wine prefix's drive_c. Names are matched without regard to case, the
// exact name first, so a directory of upper-case names costs no listing.
class DirectoryDrive : public Drive
{
public:
    explicit DirectoryDrive(QString root);

    Result<QByteArray> readFile(const QStringList &components) const override;
    bool fileExists(const QStringList &components) const override;
    Result<QList<DirEntry>> listDirectory(const QStringList &components) const override;
    std::optional<QString> hostFile(const QStringList &components) const override;

    // The host path the components name, or why there is none.
    Result<QString> resolve(const QStringList &components) const;

private:
    QString m_root;
};
