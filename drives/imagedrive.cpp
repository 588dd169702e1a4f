#include "drives/imagedrive.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>

namespace {

// Past this a file is no start-up file, and more than a QByteArray holds.
constexpr qint64 kLargestFile = (qint64(1) << 31) - 1;

// A path as the listings are kept: each letter folded on its own, so two
// spellings of one name share an entry and no name changes length.
QString foldedPath(const QStringList &components)
{
    QString path = components.join(QLatin1Char('/'));
    for (QChar &c : path)
        c = c.toCaseFolded();
    return path;
}

// The entry a path component names, or the end.
QList<FatEntry>::const_iterator named(const QList<FatEntry> &entries, const QString &component)
{
    return std::find_if(entries.cbegin(), entries.cend(), [&component](const FatEntry &e) { return e.isNamed(component); });
}

Failed missingFile()
{
    return Failed{QCoreApplication::translate("drives", "filen finnes ikke"), FailureKind::Missing};
}

} // namespace

Result<std::shared_ptr<ImageDrive>> ImageDrive::open(const QString &image, int partition)
{
    return open(QFile::encodeName(image), partition, Limits());
}

Result<std::shared_ptr<ImageDrive>> ImageDrive::open(const QByteArray &image, int partition)
{
    return open(image, partition, Limits());
}

Result<std::shared_ptr<ImageDrive>> ImageDrive::open(const QString &image, int partition, const Limits &limits)
{
    return open(QFile::encodeName(image), partition, limits);
}

Result<std::shared_ptr<ImageDrive>> ImageDrive::open(const QByteArray &image, int partition, const Limits &limits)
{
    Result<std::unique_ptr<ImageDisk>> opened = ImageDisk::open(image, limits.qemuMs);
    if (!opened)
        return Failed{opened.reason()};
    return open(std::shared_ptr<ImageDisk>(std::move(opened).value()), partition);
}

Result<std::shared_ptr<ImageDrive>> ImageDrive::open(std::shared_ptr<ImageDisk> disk, int partition)
{
    const QString name = disk->name();
    const Result<QByteArray> head = disk->read(0, 512);
    if (!head)
        return Failed{head.reason()};
    QString readError;
    const auto sectorAt = [&disk, &readError](qint64 offset) {
        const Result<QByteArray> sector = disk->read(offset, 512);
        if (!sector && readError.isEmpty())
            readError = sector.reason();
        return sector ? *sector : QByteArray();
    };
    const FatVolume volume = FatVolume::locate(*head, sectorAt, disk->size(), partition, name);
    if (!readError.isEmpty())
        return Failed{readError};
    if (volume.offset < 0)
        return Failed{volume.error};
    const Result<QByteArray> boot = disk->read(volume.offset, 512);
    const std::optional<diskimage::FatLayout> layout = boot ? diskimage::fatLayout(*boot) : std::nullopt;
    if (!layout)
        return Failed{QCoreApplication::translate("drives", "%1 inneholder ingen FAT-stasjon").arg(name)};
    // A file cut off while it was copied or downloaded: said once, here,
    // rather than as files that seem to be missing.
    if (volume.offset + qMax(layout->totalBytes, layout->systemBytes) > disk->size()) {
        return Failed{QCoreApplication::translate("drives", "%1 er avkortet: FAT-stasjonen trenger %2 byte, men bildet slutter etter %3")
                          .arg(name)
                          .arg(volume.offset + qMax(layout->totalBytes, layout->systemBytes))
                          .arg(disk->size())};
    }
    // The boot sector, the FATs and the root directory (a FAT32 one's first
    // cluster): every path is looked up through them, and a virtual disk
    // unpacks them in one go.
    QList<ByteRange> system{{volume.offset, layout->systemBytes}};
    if (layout->rootCluster >= 2 && layout->rootCluster - 2 < layout->clusterCount)
        system.append({volume.offset + layout->clusterStart(layout->rootCluster), layout->clusterBytes});
    const Result<bool> unpacked = disk->ensure(system);
    if (!unpacked)
        return Failed{unpacked.reason()};
    return std::shared_ptr<ImageDrive>(new ImageDrive(std::move(disk), volume.offset, *layout));
}

ImageDrive::ImageDrive(std::shared_ptr<ImageDisk> disk, qint64 offset, diskimage::FatLayout layout)
    : m_disk(std::move(disk)), m_fat([this](const QList<ByteRange> &ranges) { return readRanges(ranges); }, offset, layout)
{
}

Result<QByteArray> ImageDrive::readRanges(const QList<ByteRange> &ranges) const
{
    // A virtual disk unpacks every range in one go before they are read.
    if (const Result<bool> ready = m_disk->ensure(ranges); !ready)
        return ready.failure();
    qint64 total = 0;
    for (const ByteRange &r : ranges)
        total += r.length;
    QByteArray bytes;
    bytes.reserve(total);
    for (const ByteRange &r : ranges) {
        const Result<QByteArray> part = m_disk->read(r.start, r.length);
        if (!part)
            return part.failure();
        // The volume fitted in the image when it was opened: a short read
        // means the file was cut since.
        if (part->size() != r.length)
            return Failed{QCoreApplication::translate("drives", "%1 er avkortet: bildet slutter før byte %2").arg(m_disk->name()).arg(r.end()),
                          FailureKind::DamagedImage};
        bytes.append(*part);
    }
    return bytes;
}

void ImageDrive::forgetListings() const
{
    m_directories.clear();
    m_fat.forget();
}

void ImageDrive::forgetOutsidePass() const
{
    if (!inPass())
        forgetListings();
}

ImageDrive::Listing ImageDrive::listed(const QString &key, const std::function<Result<QList<FatEntry>>()> &read) const
{
    if (inPass()) {
        const auto known = m_directories.constFind(key);
        if (known != m_directories.cend())
            return *known;
    }
    Listing listing;
    Result<QList<FatEntry>> entries = read();
    if (entries)
        listing.entries = std::move(entries).value();
    else
        listing.failure = entries.failure();
    if (inPass())
        m_directories.insert(key, listing);
    return listing;
}

ImageDrive::Listing ImageDrive::directoryAt(const QStringList &components) const
{
    // From the root down, each directory on the way listed once in a pass.
    Listing current = listed(QString(), [this] { return m_fat.rootDirectory(); });
    for (qsizetype depth = 0; depth < components.size() && !current.failure; ++depth) {
        const auto found = named(current.entries, components.at(depth));
        if (found == current.entries.cend()) {
            current.failure = Failed{QCoreApplication::translate("drives", "mappen finnes ikke"), FailureKind::Missing};
        } else if (!found->isDirectory) {
            current.failure = Failed{QCoreApplication::translate("drives", "det er ikke en mappe"), FailureKind::NotRegular};
        } else {
            const FatEntry directory = *found;
            current = listed(foldedPath(components.mid(0, depth + 1)), [this, &directory] { return m_fat.directory(directory); });
        }
    }
    return current;
}

Result<FatEntry> ImageDrive::entryAt(const QStringList &components) const
{
    if (components.isEmpty())
        return Failed{QCoreApplication::translate("drives", "det er en mappe, ikke en fil"), FailureKind::NotRegular};
    const Listing parent = directoryAt(components.mid(0, components.size() - 1));
    if (parent.failure) {
        const bool absent = parent.failure->kind == FailureKind::Missing || parent.failure->kind == FailureKind::NotRegular;
        return absent ? missingFile() : *parent.failure;
    }
    const auto found = named(parent.entries, components.last());
    if (found == parent.entries.cend())
        return missingFile();
    return *found;
}

Result<QByteArray> ImageDrive::readFile(const QStringList &components) const
{
    const Result<FatEntry> entry = entryAt(components);
    Result<QByteArray> content = missingFile();
    if (!entry)
        content = entry.failure();
    else if (entry->isDirectory)
        content = Failed{QCoreApplication::translate("drives", "det er en mappe, ikke en fil"), FailureKind::NotRegular};
    else if (entry->size > kLargestFile)
        content = Failed{QCoreApplication::translate("drives", "filen er for stor (%1 byte)").arg(entry->size), FailureKind::TooLarge};
    else
        content = m_fat.file(*entry);
    forgetOutsidePass();
    return content;
}

Result<QList<DirEntry>> ImageDrive::listDirectory(const QStringList &components) const
{
    const Listing listing = directoryAt(components);
    forgetOutsidePass();
    if (listing.failure)
        return *listing.failure;
    QList<DirEntry> entries;
    entries.reserve(listing.entries.size());
    for (const FatEntry &e : listing.entries)
        entries.append({e.name, e.isDirectory});
    return entries;
}

bool ImageDrive::fileExists(const QStringList &components) const
{
    const Result<FatEntry> entry = entryAt(components);
    forgetOutsidePass();
    return entry && !entry->isDirectory;
}
