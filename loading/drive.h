#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// One drive of the PC whose configuration is shown. Paths reach it already
// taken apart into components from the drive's root (see DosPath).
class Drive
{
public:
    virtual ~Drive() = default;

    struct ReadResult
    {
        std::optional<QByteArray> bytes; // set when the file was read
        QString reason;                  // why not, in the user's language
    };
    virtual ReadResult readFile(const QStringList &components) const = 0;

    // True only for an existing regular file; a directory does not count.
    virtual bool fileExists(const QStringList &components) const = 0;

    // The file on this host that a program can be started from, if any.
    virtual std::optional<QString> hostFile(const QStringList &components) const = 0;
};
