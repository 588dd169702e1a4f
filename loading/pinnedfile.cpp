#include "loading/pinnedfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

QString procPathOf(int fd)
{
    return QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(fd);
}

PinnedFile::PinnedFile(QString path, int fd, qint64 size) : m_path(std::move(path)), m_fd(fd), m_size(size) {}

PinnedFile::~PinnedFile()
{
    ::close(m_fd);
}

Result<std::shared_ptr<PinnedFile>> PinnedFile::open(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
#ifdef O_NOATIME
    int fd = ::open(native.constData(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) // only the owner may leave the access time alone
#else
    int fd = -1;
#endif
        fd = ::open(native.constData(), flags);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return Failed{QStringLiteral("%1 finnes ikke").arg(path)};
        case EACCES:
        case EPERM:
            return Failed{QStringLiteral("ingen lesetilgang til %1").arg(path)};
        case ELOOP:
            return Failed{QStringLiteral("%1 er en lenke som peker i ring").arg(path)};
        default:
            return Failed{QStringLiteral("kan ikke åpne %1 (feil %2)").arg(path).arg(errno)};
        }
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Failed{QStringLiteral("%1 er ikke en vanlig fil").arg(path)};
    }
    return std::shared_ptr<PinnedFile>(new PinnedFile(path, fd, st.st_size));
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
        return Failed{QStringLiteral("fikk ikke minne (memfd: feil %1)").arg(errno)};
    std::shared_ptr<MemoryFile> file(new MemoryFile(fd));
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Failed{QStringLiteral("fikk ikke minne (memfd: feil %1)").arg(errno)};
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
