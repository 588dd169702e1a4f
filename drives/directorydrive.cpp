#include "drives/directorydrive.h"

#include "drives/ansitext.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/openat2.h>
#include <sys/syscall.h>
#endif

namespace {

// Made at each use, in the language of the moment.
QString noSuchFile() { return QCoreApplication::translate("drives", "filen finnes ikke"); }

// Files above this size are refused: no start-up file comes near it, and a
// line list indexes its text with 32 bits.
constexpr qint64 kMaxFileSize = qint64(1) << 31;

// A directory whose names take more than this is refused as too large to hold.
constexpr qsizetype kMaxNames = qsizetype(1) << 31;

// A descriptor closed when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd;
};

// What an errno means for the user, in Norwegian.
// Why an errno stops a read, in words and as a kind; `directory` when the
// failure was met on a directory of the way.
Failed failureFor(int error, bool directory = false)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return {directory ? QCoreApplication::translate("drives", "mappen finnes ikke") : noSuchFile(), FailureKind::Missing};
    case EXDEV:
        return {QCoreApplication::translate("drives", "peker ut av stasjonen"), FailureKind::OutsideDrive};
    case ELOOP:
        return {QCoreApplication::translate("drives", "symbolske lenker går i ring")};
    case EACCES:
    case EPERM:
        return {directory ? QCoreApplication::translate("drives", "ingen tilgang til mappen") : QCoreApplication::translate("drives", "ingen lesetilgang"),
                FailureKind::Denied};
    case ENAMETOOLONG:
        return {QCoreApplication::translate("drives", "navnet er for langt")};
    case EIO:
        return {QCoreApplication::translate("drives", "lesefeil på disken")};
    case ENOMEM:
        return {QCoreApplication::translate("drives", "ikke nok minne")};
    case EMFILE:
    case ENFILE:
        return {QCoreApplication::translate("drives", "for mange åpne filer")};
    default:
        return {QCoreApplication::translate("drives", "kan ikke leses (systemfeil %1)").arg(error)};
    }
}

// The folder of the drive, opened; every path is taken from it.
Result<Fd> openFolder(const QByteArray &root)
{
    Fd folder(::open(root.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.ok())
        return folder;
    const QString name = QFile::decodeName(root);
    if (errno == ENOENT || errno == ENOTDIR)
        return Failed{QCoreApplication::translate("drives", "mappen for stasjonen (%1) finnes ikke").arg(name), FailureKind::Missing};
    const Failed why = failureFor(errno, true);
    return Failed{QCoreApplication::translate("drives", "mappen for stasjonen (%1): %2").arg(name, why.reason), why.kind};
}

bool isWholeHost(int rootFd)
{
    struct stat root, top;
    return ::fstat(rootFd, &root) == 0 && ::stat("/", &top) == 0 && root.st_dev == top.st_dev
           && root.st_ino == top.st_ino;
}

// Where an open descriptor really lies on the host.
QByteArray realPathOf(int fd)
{
    char path[PATH_MAX];
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return ::realpath(self.constData(), path) ? QByteArray(path) : QByteArray();
}

bool isBelow(const QByteArray &path, const QByteArray &root)
{
    return !path.isEmpty() && !root.isEmpty()
           && (path == root || path.startsWith(root.endsWith('/') ? root : root + '/'));
}

// Opens a path below the folder without ever leaving it: a link whose
// target lies outside fails with EXDEV. A folder that is the host's "/" is
// the user's to map, so there links are followed as they stand.
int openBeneath(int rootFd, const QByteArray &relative, int flags)
{
    const char *path = relative.isEmpty() ? "." : relative.constData();
    flags |= O_CLOEXEC;
    if (!(flags & O_PATH))
        flags |= O_NOCTTY; // openat2 takes no other flag beside O_PATH
    if (isWholeHost(rootFd))
        return ::openat(rootFd, path, flags);
#ifdef __linux__
    open_how how{};
    how.flags = static_cast<__u64>(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, rootFd, path, &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != EXDEV))
        return static_cast<int>(fd);
#endif
    // The kernel refuses every absolute link, even one that leads back into
    // the folder, and older kernels have no openat2: resolve the path, open
    // it only when it stays inside, and check again on what was opened.
    const QByteArray root = realPathOf(rootFd);
    char target[PATH_MAX];
    const QByteArray full = "/proc/self/fd/" + QByteArray::number(rootFd) + '/' + path;
    if (::realpath(full.constData(), target) && !isBelow(QByteArray(target), root)) {
        errno = EXDEV;
        return -1;
    }
    const int opened = ::openat(rootFd, path, flags);
    if (opened >= 0 && !isBelow(realPathOf(opened), root)) {
        ::close(opened);
        errno = EXDEV;
        return -1;
    }
    return opened;
}

QByteArray join(const QByteArray &relative, const QByteArray &name)
{
    return relative.isEmpty() ? name : relative + '/' + name;
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A host name as DOS sees it, made in `scratch`: UTF-8 where it is, else
// Windows-1252 (a folder copied from a FAT disk as it was).
QStringView dosName(QByteArrayView bytes, QString &scratch)
{
    scratch.resize(0); // keeps its room for the next name
    if (isAscii(bytes)) {
        scratch.append(QLatin1StringView(bytes.data(), bytes.size()));
        return scratch;
    }
    const QString name = QString::fromUtf8(bytes);
    scratch = name.contains(QChar::ReplacementCharacter) ? ansi::decode(bytes) : name;
    return scratch;
}

// A directory below the folder, read one entry at a time ("." and ".."
// left out); a link's kind is that of what it leads to.
class HostDirectory
{
public:
    HostDirectory() = default;
    ~HostDirectory()
    {
        if (m_stream)
            ::closedir(m_stream);
    }
    HostDirectory(const HostDirectory &) = delete;
    HostDirectory &operator=(const HostDirectory &) = delete;

    // False, and *error holds the errno, when it cannot be read.
    bool open(int rootFd, const QByteArray &relative, int *error)
    {
        Fd dir(openBeneath(rootFd, relative, O_RDONLY | O_DIRECTORY));
        if (dir.ok()) {
            m_fd = dir.get();
            m_stream = ::fdopendir(m_fd);
            if (m_stream)
                dir.release();
        }
        if (!m_stream)
            *error = errno;
        return m_stream != nullptr;
    }
    // The directory's own size on the host's disk (0 when unknown), at
    // most 32 MB: a hint of how much its entries hold.
    qsizetype size() const
    {
        struct stat folder;
        return ::fstat(m_fd, &folder) == 0 ? std::clamp<off_t>(folder.st_size, 0, off_t(32) << 20) : 0;
    }
    // The next entry, valid until the one after it is read.
    bool next(QByteArrayView *name, bool *isDirectory)
    {
        while (const dirent *entry = ::readdir(m_stream)) {
            const QByteArrayView bytes(entry->d_name);
            if (bytes == "." || bytes == "..")
                continue;
            *name = bytes;
            *isDirectory = entry->d_type == DT_DIR;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat st;
                *isDirectory = ::fstatat(m_fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
            }
            return true;
        }
        return false;
    }

private:
    DIR *m_stream = nullptr;
    int m_fd = -1;
};

} // namespace

DirectoryDrive::DirectoryDrive(QByteArray root) : m_root(std::move(root))
{
    while (m_root.size() > 1 && m_root.endsWith('/'))
        m_root.chop(1);
}

DirectoryDrive::DirectoryDrive(const QString &root) : DirectoryDrive(QFile::encodeName(root)) {}

const DirectoryDrive::HostListing *DirectoryDrive::listing(int rootFd, const QByteArray &relative, int *error) const
{
    const auto known = m_listings.constFind(relative);
    if (known != m_listings.cend())
        return &known.value();
    HostDirectory dir;
    if (!dir.open(rootFd, relative, error))
        return nullptr;
    ++m_listingsRead;
    HostListing listed;
    // Room for every entry the directory's size can hold, so a folder of
    // 100,000 files is not moved as it is read; what is never filled is
    // never touched, and costs no memory.
    if (const qsizetype size = dir.size(); size > 0) {
        listed.entries.reserve(static_cast<std::size_t>(size / 12)); // the smallest entry on ext4
        listed.hostNames.reserve(size);
    }
    QByteArrayView bytes;
    bool isDirectory = false;
    while (dir.next(&bytes, &isDirectory)) {
        if (listed.hostNames.size() > kMaxNames) {
            *error = ENOMEM;
            return nullptr;
        }
        listed.entries.push_back({static_cast<quint32>(listed.hostNames.size()), static_cast<quint16>(bytes.size()), isDirectory});
        listed.hostNames.append(bytes);
    }
    if (!inPass()) {
        // Outside a pass nothing is kept: the one entry serves this call only.
        m_listings.clear();
    }
    return &*m_listings.emplace(relative, std::move(listed)); // moved in, not copied
}

Result<QByteArray> DirectoryDrive::resolve(int rootFd, const QStringList &components) const
{
    QByteArray relative;
    for (const QString &component : components) {
        // The exact name first: one probe, no listing.
        const QByteArray exact = join(relative, component.toUtf8());
        const Fd probe(openBeneath(rootFd, exact, O_PATH));
        if (probe.ok()) {
            relative = exact;
            continue;
        }
        if (errno != ENOENT) {
            // Opening a name without reading it needs no right on the file
            // itself: a refusal here is one of the folders on the way.
            return failureFor(errno, errno == EACCES || errno == EPERM);
        }
        int error = 0;
        const HostListing *entries = listing(rootFd, relative, &error);
        if (!entries)
            return error == ENOENT || error == ENOTDIR ? failureFor(error) : failureFor(error, true);
        QString name;
        const auto match = std::find_if(entries->entries.cbegin(), entries->entries.cend(), [&](const HostListing::Entry &e) {
            return dosName(entries->hostName(e), name).compare(component, Qt::CaseInsensitive) == 0;
        });
        if (match == entries->entries.cend())
            return Failed{noSuchFile(), FailureKind::Missing};
        relative = join(relative, entries->hostName(*match).toByteArray());
    }
    return relative;
}

Result<QByteArray> DirectoryDrive::readFile(const QStringList &components) const
{
    const Result<Fd> root = openFolder(m_root);
    if (!root)
        return root.failure();
    const Result<QByteArray> relative = resolve(root->get(), components);
    if (!relative)
        return relative.failure();
    // Non-blocking, so a FIFO opens at once instead of waiting for a writer;
    // what it is is then decided on the open file, not on its name.
    const Fd file(openBeneath(root->get(), *relative, O_RDONLY | O_NONBLOCK));
    if (!file.ok()) {
        const int error = errno;
        struct stat st;
        if (error == ENOENT && ::fstatat(root->get(), relative->constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISLNK(st.st_mode))
            return Failed{QCoreApplication::translate("drives", "en symbolsk lenke som ikke fører til noen fil"), FailureKind::Missing};
        return failureFor(error);
    }
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        return failureFor(errno);
    if (S_ISDIR(st.st_mode))
        return Failed{QCoreApplication::translate("drives", "det er en mappe, ikke en fil"), FailureKind::NotRegular};
    // A FIFO or a device would block or never end: only regular files are read.
    if (!S_ISREG(st.st_mode))
        return Failed{QCoreApplication::translate("drives", "det er ikke en vanlig fil"), FailureKind::NotRegular};
    const qint64 size = st.st_size;
    if (size > kMaxFileSize)
        return Failed{QCoreApplication::translate("drives", "filen er for stor (%1 byte)").arg(size), FailureKind::TooLarge};
    QByteArray bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc &) {
        return Failed{QCoreApplication::translate("drives", "filen er for stor til å holdes i minnet (%1 byte)").arg(size), FailureKind::TooLarge};
    }
    // At most the size it had when opened: a file that grows meanwhile (or a
    // link swapped for an endless device) cannot make the read go on.
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, static_cast<size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failureFor(errno);
        }
        if (n == 0)
            break; // it shrank while being read: what was there is the file
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

std::optional<QByteArray> DirectoryDrive::regularFile(const QStringList &components, QByteArray *realPath) const
{
    const Result<Fd> root = openFolder(m_root);
    if (!root)
        return std::nullopt;
    const Result<QByteArray> relative = resolve(root->get(), components);
    if (!relative)
        return std::nullopt;
    const Fd file(openBeneath(root->get(), *relative, O_PATH));
    struct stat st;
    if (!file.ok() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    if (realPath)
        *realPath = realPathOf(file.get());
    return *relative;
}

bool DirectoryDrive::fileExists(const QStringList &components) const
{
    return regularFile(components).has_value();
}

Result<const DirectoryDrive::HostListing *> DirectoryDrive::listingOf(const QStringList &components) const
{
    const Result<Fd> root = openFolder(m_root);
    if (!root)
        return root.failure();
    const Result<QByteArray> relative = resolve(root->get(), components);
    if (!relative)
        return relative.failure();
    int error = 0;
    const HostListing *entries = listing(root->get(), *relative, &error);
    if (!entries) {
        Failed why = failureFor(error, true);
        if (error == ENOENT || error == ENOTDIR)
            why.reason = QCoreApplication::translate("drives", "det er ikke en mappe");
        return why;
    }
    return entries;
}

Result<QList<DirEntry>> DirectoryDrive::listDirectory(const QStringList &components) const
{
    const Result<const HostListing *> entries = listingOf(components);
    if (!entries)
        return entries.failure();
    QList<DirEntry> result;
    result.reserve(static_cast<qsizetype>((*entries)->entries.size()));
    QString name;
    for (const HostListing::Entry &e : (*entries)->entries)
        result.append({dosName((*entries)->hostName(e), name).toString(), e.isDirectory});
    return result;
}

Result<bool> DirectoryDrive::visitDirectory(const QStringList &components, Visitor &visit) const
{
    const Result<const HostListing *> entries = listingOf(components);
    if (!entries)
        return entries.failure();
    visit.expect(static_cast<qsizetype>((*entries)->entries.size()));
    QString name;
    for (const HostListing::Entry &e : (*entries)->entries) {
        const QByteArrayView host = (*entries)->hostName(e);
        if (isAscii(host))
            visit.ansiEntry(host, e.isDirectory);
        else
            visit.entry(dosName(host, name), e.isDirectory);
    }
    return true;
}

std::optional<QString> DirectoryDrive::hostFile(const QStringList &components) const
{
    // The file itself, every link resolved: what is handed over to be
    // started is named by its own name, never by a link's.
    QByteArray real;
    if (!regularFile(components, &real) || real.isEmpty())
        return std::nullopt;
    return QFile::decodeName(real);
}
