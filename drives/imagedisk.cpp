#include "drives/imagedisk.h"

#include "drives/diskmap.h"
#include "drives/qcow2reader.h"
#include "drives/qemuimage.h"
#include "drives/vhddifference.h"
#include "drives/vmdkmap.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace {

// A chain of parents longer than this is a loop or a hostile image.
constexpr int kDeepestChain = 16;
// How much is unpacked at a time: a page where the bytes are copied as they
// lie, more where QEMU has to be run for them (each run costs some twenty
// milliseconds, a megabyte more about one): eight megabytes hold the
// partition table, the boot sector, the FATs and the root directory of a
// 2 GB FAT32 partition aligned to the first megabyte, so one run serves all.
constexpr qint64 kMappedGranule = 4096;
constexpr qint64 kConvertedGranule = qint64(8) << 20;

// The map of any kind of VHD: the parent of a differencing one. The whole
// chain is read within one time limit.
Result<DiskMap> vhdMap(std::shared_ptr<PinnedFile> file, int depth, int timeLimitMs, const QDeadlineTimer &deadline)
{
    if (depth > kDeepestChain)
        return Failed{QCoreApplication::translate("drives", "%1 har en for lang kjede av foreldrebilder").arg(file->name())};
    const QByteArray head = file->readAt(0, imageformat::kHeadBytes);
    const ImageFormat format = imageformat::recognise(head);
    switch (format.kind) {
    case ImageFormat::Kind::DifferencingVhd:
        return vhddifference::map(
            file, imageformat::virtualSize(format, head),
            [timeLimitMs, &deadline](std::shared_ptr<PinnedFile> parent, int d) {
                return vhdMap(std::move(parent), d, timeLimitMs, deadline);
            },
            depth, deadline);
    case ImageFormat::Kind::DynamicVhd: {
        Result<QemuImage> image = QemuImage::open(file, format, head);
        if (!image)
            return Failed{image.reason()};
        Result<std::optional<DiskMap>> map = image->map(timeLimitMs);
        if (!map)
            return Failed{map.reason()};
        if (!map->has_value())
            return image->failure(QString());
        return std::move(**map);
    }
    case ImageFormat::Kind::Raw: {
        // A fixed VHD: the disk, then the footer.
        DiskMap map;
        map.files.push_back(file);
        map.extents.append({0, qMax<qint64>(file->size() - 512, 0), 0, 0});
        return map;
    }
    default:
        return Failed{QCoreApplication::translate("drives", "foreldrebildet %1 er ikke et VHD-bilde").arg(file->name())};
    }
}

Failed damaged(const QString &name, const ImageFormat &format)
{
    return Failed{QCoreApplication::translate("drives", "%1 er et skadet eller avkortet %2-bilde").arg(name, format.name())};
}

// Whether every extent lies inside its file (a file cut short fails here,
// once, rather than at whichever read reaches past its end) and no span of
// a file serves two spans of the disk.
Result<bool> isSound(const DiskMap &map, const QString &name, const ImageFormat &format)
{
    for (const DiskMap::Extent &e : map.extents) {
        if (e.offset + e.length > map.files[static_cast<size_t>(e.file)]->size())
            return damaged(name, format);
    }
    if (map.aliases()) {
        return Failed{QCoreApplication::translate("drives", "%1 er et %2-bilde der to deler av disken peker på samme sted i filen; vendral "
                                     "leser det ikke")
                          .arg(name, format.name())};
    }
    return true;
}

QString convertHint(const QString &name, const ImageFormat &format)
{
    return QCoreApplication::translate("drives", "%1 er et %2-bilde, som vendral ikke leser; gjør det om til et rått bilde, "
                          "for eksempel med: qemu-img convert -f %3 -O raw %1 %1.img")
        .arg(name, format.name(), format.qemuDriver());
}

} // namespace

ImageDisk::ImageDisk(std::shared_ptr<PinnedFile> file, ImageFormat format, std::unique_ptr<VirtualDisk> disk)
    : m_file(std::move(file)), m_format(format), m_disk(std::move(disk))
{
}

Result<std::unique_ptr<ImageDisk>> ImageDisk::open(const QByteArray &path, int qemuTimeLimitMs)
{
    Result<std::shared_ptr<PinnedFile>> opened = PinnedFile::open(path);
    if (!opened)
        return Failed{opened.reason()};
    std::shared_ptr<PinnedFile> file = *opened;
    const QByteArray head = file->readAt(0, imageformat::kHeadBytes);
    const ImageFormat format = imageformat::recognise(head);
    using Kind = ImageFormat::Kind;
    if (format.kind == Kind::Raw)
        return std::unique_ptr<ImageDisk>(new ImageDisk(file, format, nullptr));
    if (format.parent() == ImageFormat::Parent::Refused)
        return Failed{convertHint(file->name(), format), FailureKind::DamagedImage};

    qint64 size = imageformat::virtualSize(format, head);
    VirtualDisk::Filler filler;
    qint64 granule = kMappedGranule;
    if (format.parent() == ImageFormat::Parent::Locators) { // a parent QEMU does not follow
        Result<DiskMap> map = vhdMap(file, 0, qemuTimeLimitMs, QDeadlineTimer(qemuTimeLimitMs));
        if (!map)
            return Failed{map.reason()};
        if (const Result<bool> sound = isSound(*map, file->name(), format); !sound)
            return Failed{sound.reason()};
        filler = fillerFor(std::move(*map), file->name());
    } else {
        Result<QemuImage> image = QemuImage::open(file, format, head);
        if (!image)
            return Failed{image.reason()};
        size = image->size();
        // A QCOW2 of one file is read here, with no helper at all; so is the
        // map of a sparse VMDK of one file.
        std::optional<DiskMap> ownMap =
            format.kind == Kind::Vmdk && image->isOneFile() ? vmdkmap::map(file, head) : std::nullopt;
        if (std::optional<VirtualDisk::Filler> own =
                format.kind == Kind::Qcow2 ? qcow2reader::filler(file, head, file->name()) : std::nullopt) {
            filler = std::move(*own);
        } else if (ownMap) {
            if (const Result<bool> sound = isSound(*ownMap, file->name(), format); !sound)
                return Failed{sound.reason()};
            filler = fillerFor(std::move(*ownMap), file->name());
        } else {
            Result<std::optional<DiskMap>> map = image->map(qemuTimeLimitMs);
            if (!map)
                return Failed{map.reason()};
            if (map->has_value()) {
                if (const Result<bool> sound = isSound(**map, file->name(), format); !sound)
                    return Failed{sound.reason()};
                filler = fillerFor(std::move(**map), file->name());
            } else {
                filler = image->converter(qemuTimeLimitMs);
                granule = kConvertedGranule;
            }
        }
    }
    if (size <= 0)
        return damaged(file->name(), format);
    Result<std::unique_ptr<VirtualDisk>> disk = VirtualDisk::create(size, granule, std::move(filler), file->name());
    if (!disk)
        return Failed{disk.reason()};
    return std::unique_ptr<ImageDisk>(new ImageDisk(file, format, std::move(disk).value()));
}

qint64 ImageDisk::size() const
{
    return m_disk ? m_disk->size() : m_file->size();
}

Result<QByteArray> ImageDisk::read(qint64 offset, qint64 length)
{
    if (m_disk)
        return m_disk->read(offset, length);
    return m_file->readAt(offset, length);
}

Result<bool> ImageDisk::ensure(const QList<ByteRange> &ranges)
{
    if (!m_disk)
        return true;
    return m_disk->ensure(ranges);
}
