#pragma once

#include "drives/drive.h"

#include <QByteArray>

// A drive held in memory for the fuzzers: every file whose name ends in one
// of the start-up files' names has the fuzzer's bytes; a name counts as an
// existing file when its length is odd, so the check's probes take both ways.
class FuzzDrive : public Drive
{
public:
    explicit FuzzDrive(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    Result<QByteArray> readFile(const QStringList &components) const override
    {
        if (components.isEmpty())
            return Failed{QStringLiteral("det er en mappe, ikke en fil")};
        const QString name = components.last().toUpper();
        for (const char *known : {"CONFIG.SYS", "AUTOEXEC.BAT", "MSDOS.SYS", "WIN.INI", "SYSTEM.INI"}) {
            if (name == QLatin1String(known))
                return m_bytes;
        }
        return Failed{QStringLiteral("filen finnes ikke")};
    }

    bool fileExists(const QStringList &components) const override
    {
        return components.join(QLatin1Char('\\')).size() % 2 == 1;
    }

    // Every directory holds one file whose name has the fuzzer's first bytes.
    Result<QList<DirEntry>> listDirectory(const QStringList &) const override
    {
        return QList<DirEntry>{{QString::fromLatin1(m_bytes.left(12)), false}};
    }

    std::optional<QString> hostFile(const QStringList &) const override { return std::nullopt; }

private:
    QByteArray m_bytes;
};
