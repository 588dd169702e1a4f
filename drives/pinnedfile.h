#pragma once

#include "drives/result.h"

#include <QByteArray>
#include <QString>

#include <memory>

// A file opened once and checked on its open descriptor (a regular file, its
// size), then read only through that descriptor. Helper programs get
// procPath(), which names this very file whatever its name names by then, so
// a swap of the name between the check and the use changes nothing.
class PinnedFile
{
public:
    // The name is looked up without opening what it names (O_PATH), so a
    // device or FIFO is refused before any driver sees an open; only a
    // regular file is then opened for reading, without following the file's
    // times where the system allows. `native` is the path as the host spells
    // it, bytes that need not be UTF-8.
    // With `noMagicLinks`, a /proc/PID/fd link on the way is refused (a name
    // that an image wrote must not reach a descriptor of ours).
    static Result<std::shared_ptr<PinnedFile>> open(const QByteArray &native, bool noMagicLinks = false);
    static Result<std::shared_ptr<PinnedFile>> open(const QString &path);
    ~PinnedFile();
    PinnedFile(const PinnedFile &) = delete;
    PinnedFile &operator=(const PinnedFile &) = delete;

    const QString &path() const { return m_path; } // for messages
    const QByteArray &nativePath() const { return m_native; }
    // Where the file really is, every link resolved, as the kernel tells it.
    QByteArray realPath() const;
    QString name() const; // the last part of path(), for messages
    qint64 size() const { return m_size; }
    int descriptor() const { return m_fd; }
    QString procPath() const;

    // Up to `length` bytes at `offset`; fewer at the end of the file, none
    // on a read error.
    QByteArray readAt(qint64 offset, qint64 length) const;
    // Reads exactly `length` bytes into `into`; false when the file ends
    // before or cannot be read.
    bool readExactly(qint64 offset, char *into, qint64 length) const;

private:
    PinnedFile(QByteArray native, int fd, qint64 size);

    QByteArray m_native;
    QString m_path;
    int m_fd;
    qint64 m_size;
};

// A few bytes in anonymous memory of this process (a memfd), for a helper
// program that wants them as a file: no file is created anywhere.
class MemoryFile
{
public:
    static Result<std::shared_ptr<MemoryFile>> holding(const QByteArray &bytes);
    ~MemoryFile();
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    int descriptor() const { return m_fd; }
    QString procPath() const;

private:
    explicit MemoryFile(int fd) : m_fd(fd) {}
    int m_fd;
};

// "/proc/<our pid>/fd/<fd>": a descriptor of ours as a path another process
// can open.
QString procPathOf(int fd);
