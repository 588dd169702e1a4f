// libFuzzer target: what reads a disk image an attacker may have made: the
// partition finder and the FAT boot sector, the FAT volume's directories and
// files, the image-format headers, a differencing VHD's parent locators, and
// the record of which ranges of a virtual disk are unpacked. The fuzzer's
// bytes are the disk.
#include "drives/diskimage.h"
#include "drives/fatreader.h"
#include "drives/imageformat.h"
#include "drives/vhddifference.h"
#include "drives/virtualdisk.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr qint64 kDiskBytes = 1 << 20;
constexpr qint64 kGranule = 4096;

// Checks every request the virtual disk makes of its filler: sorted, apart,
// whole granules inside the disk, and never for bytes filled before.
std::vector<bool> g_filled;

Result<bool> checkedFill(const QList<ByteRange> &missing, char *disk)
{
    qint64 previousEnd = -1;
    for (const ByteRange &r : missing) {
        if (r.start < 0 || r.length <= 0 || r.end() > kDiskBytes || r.start % kGranule != 0
            || (r.end() % kGranule != 0 && r.end() != kDiskBytes) || r.start <= previousEnd)
            std::abort();
        previousEnd = r.end();
        for (qint64 g = r.start / kGranule; g * kGranule < r.end(); ++g) {
            if (g_filled[static_cast<size_t>(g)])
                std::abort();
            g_filled[static_cast<size_t>(g)] = true;
        }
        std::memset(disk + r.start, 0x5A, static_cast<size_t>(r.length));
    }
    return true;
}

// Reads every directory and file of the volume two levels deep, as the drive
// would: each read is one failure with a reason or the bytes the entry says.
void readVolume(const QByteArray &image, qint64 offset, const diskimage::FatLayout &layout)
{
    // The drive opens no volume the image cuts off.
    if (offset + qMax(layout.totalBytes, layout.systemBytes) > image.size())
        return;
    FatReader fat(
        [&image](const QList<ByteRange> &ranges) -> Result<QByteArray> {
            QByteArray bytes;
            for (const ByteRange &r : ranges) {
                if (r.start < 0 || r.length <= 0 || r.end() > image.size())
                    std::abort(); // a chain inside the volume stays inside the image
                bytes.append(image.mid(r.start, r.length));
            }
            return bytes;
        },
        offset, layout);
    const auto walk = [&fat](const Result<QList<FatEntry>> &entries, int depth, const auto &self) -> void {
        if (!entries) {
            if (entries.reason().isEmpty())
                std::abort();
            return;
        }
        for (const FatEntry &e : *entries) {
            if (e.name.isEmpty() || e.shortName.isEmpty() || !e.isNamed(e.shortName))
                std::abort();
            if (e.isDirectory && depth < 2) {
                self(fat.directory(e), depth + 1, self);
            } else if (!e.isDirectory) {
                const Result<QByteArray> content = fat.file(e);
                if (content ? content->size() != qsizetype(e.size) : content.reason().isEmpty())
                    std::abort();
            }
        }
    };
    walk(fat.rootDirectory(), 0, walk);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int partition = data[0] % 8; // 0 the default, 1-4 primary, 5-7 logical
    const QByteArray image(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    const auto sectorAt = [&image](qint64 at) { return at < image.size() ? image.mid(at, 512) : QByteArray(); };

    const FatVolume volume = FatVolume::locate(image.left(512), sectorAt, image.size(), partition, QStringLiteral("f.img"));
    if ((volume.offset < 0) == volume.error.isEmpty())
        std::abort();
    if (volume.offset >= 0) {
        const QByteArray boot = sectorAt(volume.offset);
        if (!diskimage::isFatBootSector(boot) || volume.offset + 512 > image.size())
            std::abort();
        const std::optional<diskimage::FatLayout> layout = diskimage::fatLayout(boot);
        if (!layout || layout->clusterBytes < 512 || layout->systemBytes < 512 || layout->fatStart < 512)
            std::abort();
        readVolume(image, volume.offset, *layout);
    }

    const ImageFormat format = imageformat::recognise(image);
    const qint64 virtualSize = imageformat::virtualSize(format, image);
    if (virtualSize < 0 || virtualSize > (qint64(1) << 44) || format.name().isEmpty())
        std::abort();
    (void)imageformat::qcow2Header(image);
    const imageformat::VmdkDescriptorPlace place = imageformat::vmdkDescriptorPlace(image);
    if (place.offset < 0 || place.length < 0)
        std::abort();
    for (const QString &candidate : vhddifference::parentCandidates(
             QStringLiteral("/images/child.vhd"), image.left(1024),
             [&image](qint64 offset, qint64 length) { return offset < image.size() ? image.mid(offset, length) : QByteArray(); })) {
        if (!candidate.startsWith(QLatin1Char('/')))
            std::abort();
    }

    // The bytes, two at a time, as cluster ranges to unpack (as a hostile
    // mshowfat listing would give them), then everything read back.
    static std::unique_ptr<VirtualDisk> disk;
    g_filled.assign(kDiskBytes / kGranule, false);
    disk = std::move(VirtualDisk::create(kDiskBytes, kGranule, checkedFill)).value();
    QList<ByteRange> ranges;
    for (qsizetype i = 0; i + 3 < image.size() && i < 256; i += 4) {
        const qint64 start = qint64(static_cast<unsigned char>(image[i]) << 8 | static_cast<unsigned char>(image[i + 1])) * 61 - 4096;
        const qint64 length = qint64(static_cast<unsigned char>(image[i + 2]) << 8 | static_cast<unsigned char>(image[i + 3])) * 37;
        ranges.append({start, length});
        if (i % 16 == 12) {
            (void)disk->ensure(ranges);
            ranges.clear();
        }
    }
    (void)disk->ensure(ranges);
    qint64 filled = 0;
    for (bool f : g_filled)
        filled += f ? kGranule : 0;
    if (filled < disk->filledBytes() - kGranule || filled > disk->filledBytes() + kGranule)
        std::abort();
    return 0;
}
