#pragma once

#include "drives/ansitext.h"
#include "drives/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// One entry of a directory on a drive.
struct DirEntry
{
    QString name;
    bool isDirectory = false;
};

// One drive of the PC whose configuration is shown. Paths reach it already
// taken apart into components from the drive's root (see DosPath).
class Drive
{
public:
    virtual ~Drive() = default;

    // While a pass is open (a load, an audit, a check), a drive may keep
    // what it learnt of its directories; when the last one closes it forgets
    // it, so the next pass sees the drive as it then is.
    void beginPass() const { ++m_passes; }
    void endPass() const
    {
        if (--m_passes == 0)
            forgetListings();
    }

    virtual Result<QByteArray> readFile(const QStringList &components) const = 0;

    // True only for an existing regular file; a directory does not count.
    virtual bool fileExists(const QStringList &components) const = 0;

    // The entries of a directory (names as the drive spells them), without
    // "." and "..".
    virtual Result<QList<DirEntry>> listDirectory(const QStringList &components) const = 0;
    // The same entries, each handed to `visit` in turn with a name that
    // lasts only for the call: a drive that keeps its names together need
    // make no string each for a directory of 100,000 files. `visit` must
    // not ask the drive anything.
    class Visitor
    {
    public:
        virtual ~Visitor() = default;
        // About how many entries follow, told before the first when the
        // drive knows (or can guess) it, so room is made once.
        virtual void expect(qsizetype count) { Q_UNUSED(count); }
        virtual void entry(QStringView name, bool isDirectory) = 0;
        // The same for a name that is Windows-1252 bytes as it stands, as
        // a plain ASCII name is: a visitor that keeps bytes takes it so.
        virtual void ansiEntry(QByteArrayView name, bool isDirectory) { entry(ansi::decode(name), isDirectory); }
    };
    virtual Result<bool> visitDirectory(const QStringList &components, Visitor &visit) const
    {
        const Result<QList<DirEntry>> entries = listDirectory(components);
        if (!entries)
            return entries.failure();
        visit.expect(entries->size());
        for (const DirEntry &e : *entries)
            visit.entry(e.name, e.isDirectory);
        return true;
    }

    // The file on this host that a program can be started from, if any.
    virtual std::optional<QString> hostFile(const QStringList &components) const = 0;

protected:
    bool inPass() const { return m_passes > 0; }
    virtual void forgetListings() const {}

private:
    mutable int m_passes = 0;
};
