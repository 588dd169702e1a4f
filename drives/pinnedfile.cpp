#include "drives/pinnedfile.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#ifdef __linux__
#include <linux/openat2.h>
#include <sys/syscall.h>
#endif
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

QString procPathOf(int fd)
{
    return QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(fd);
}

PinnedFile::PinnedFile(QByteArray native, int fd, qint64 size)
    : m_native(std::move(native)), m_path(QFile::decodeName(m_native)), m_fd(fd), m_size(size)
{
}

PinnedFile::~PinnedFile()
{
    ::close(m_fd);
}

namespace {

Failed openFailure(const QString &path, int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Failed{QCoreApplication::translate("drives", "%1 finnes ikke").arg(path)};
    case EACCES:
    case EPERM:
        return Failed{QCoreApplication::translate("drives", "ingen lesetilgang til %1").arg(path)};
    case ELOOP:
        return Failed{QCoreApplication::translate("drives", "%1 er en lenke som peker i ring").arg(path)};
    default:
        return Failed{QCoreApplication::translate("drives", "kan ikke åpne %1 (feil %2)").arg(path).arg(error)};
    }
}

} // namespace

Result<std::shared_ptr<PinnedFile>> PinnedFile::open(const QString &path)
{
    return open(QFile::encodeName(path));
}

Result<std::shared_ptr<PinnedFile>> PinnedFile::open(const QByteArray &native, bool noMagicLinks)
{
    const QString path = QFile::decodeName(native);
    if (native.isEmpty() || native.contains('\0'))
        return Failed{QCoreApplication::translate("drives", "%1 finnes ikke").arg(path)};
    // First the name alone: an O_PATH descriptor opens no device and waits
    // on no FIFO.
    int where = -1;
#ifdef SYS_openat2
    if (noMagicLinks) {
        open_how how{};
        how.flags = O_PATH | O_CLOEXEC;
        how.resolve = RESOLVE_NO_MAGICLINKS;
        where = static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, native.constData(), &how, sizeof how));
        if (where < 0 && errno == ELOOP)
            return Failed{QCoreApplication::translate("drives", "%1 er ingen fil vendral følger").arg(path)};
        if (where < 0 && errno != ENOSYS)
            return openFailure(path, errno);
    }
#else
    Q_UNUSED(noMagicLinks)
#endif
    if (where < 0)
        where = ::open(native.constData(), O_PATH | O_CLOEXEC);
    if (where < 0)
        return openFailure(path, errno);
    struct stat seen;
    if (::fstat(where, &seen) != 0 || !S_ISREG(seen.st_mode)) {
        ::close(where);
        return Failed{QCoreApplication::translate("drives", "%1 er ikke en vanlig fil").arg(path)};
    }
    // Then that very file for reading, through its descriptor.
    const QByteArray pinned = "/proc/self/fd/" + QByteArray::number(where);
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
#ifdef O_NOATIME
    int fd = ::open(pinned.constData(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) // only the owner may leave the access time alone
#else
    int fd = -1;
#endif
        fd = ::open(pinned.constData(), flags);
    const int error = errno;
    ::close(where);
    if (fd < 0)
        return openFailure(path, error);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
        ::close(fd);
        return Failed{QCoreApplication::translate("drives", "%1 er ikke en vanlig fil").arg(path)};
    }
    return std::shared_ptr<PinnedFile>(new PinnedFile(native, fd, st.st_size));
}

QByteArray PinnedFile::realPath() const
{
    char target[PATH_MAX + 1];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(m_fd);
    const ssize_t n = ::readlink(link.constData(), target, PATH_MAX);
    return n > 0 ? QByteArray(target, n) : QByteArray();
}

QString PinnedFile::name() const
{
    return m_path.mid(m_path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString PinnedFile::procPath() const
{
    return procPathOf(m_fd);
}

bool PinnedFile::readExactly(qint64 offset, char *into, qint64 length) const
{
    while (length > 0) {
        const ssize_t n = ::pread(m_fd, into, static_cast<size_t>(qMin<qint64>(length, qint64(1) << 30)), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        offset += n;
        length -= n;
    }
    return true;
}

QByteArray PinnedFile::readAt(qint64 offset, qint64 length) const
{
    if (offset < 0 || length <= 0 || offset >= m_size)
        return {};
    QByteArray bytes(static_cast<qsizetype>(qMin(length, m_size - offset)), Qt::Uninitialized);
    if (!readExactly(offset, bytes.data(), bytes.size()))
        return {};
    return bytes;
}

Result<std::shared_ptr<MemoryFile>> MemoryFile::holding(const QByteArray &bytes)
{
    const int fd = ::memfd_create("vendral", MFD_CLOEXEC);
    if (fd < 0)
        return Failed{QCoreApplication::translate("drives", "fikk ikke minne (memfd: feil %1)").arg(errno)};
    std::shared_ptr<MemoryFile> file(new MemoryFile(fd));
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Failed{QCoreApplication::translate("drives", "fikk ikke minne (memfd: feil %1)").arg(errno)};
        written += n;
    }
    return file;
}

MemoryFile::~MemoryFile()
{
    ::close(m_fd);
}

QString MemoryFile::procPath() const
{
    return procPathOf(m_fd);
}
