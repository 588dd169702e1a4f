#include "drives/qemuimage.h"

#include "drives/boundedprocess.h"
#include "drives/qcow2map.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace {

// A chain of parents longer than this is a loop or a hostile image.
constexpr int kDeepestChain = 16;
constexpr qint64 kLargestDescriptor = 64 * 1024;
// What QEMU reads of a sparse VMDK for its descriptor.
constexpr qint64 kEmbeddedDescriptor = 10240;
// How many ranges one qemu-img convert copies.
constexpr int kRangesPerConvert = 32;

BoundedCommand qemuImg(const QStringList &arguments, int timeLimitMs, qint64 outputCap)
{
    BoundedCommand c;
    c.program = QStringLiteral("qemu-img");
    c.arguments = arguments;
    c.timeLimitMs = timeLimitMs;
    c.outputCap = outputCap;
    c.package = QStringLiteral("qemu-utils");
    c.environment = {{"LC_ALL", "C"}};
    return c;
}

QString escaped(QString value)
{
    return value.replace(QLatin1Char(','), QStringLiteral(",,"));
}

} // namespace

Result<QemuImage> QemuImage::open(std::shared_ptr<PinnedFile> image, const ImageFormat &format, QByteArrayView head)
{
    QemuImage q;
    q.m_name = image->name();
    q.m_format = format;
    q.m_size = imageformat::virtualSize(format, head);
    const Result<bool> added = q.addLayer(QString(), std::move(image), format, head, 0);
    if (!added)
        return Failed{added.reason()};
    if (q.m_size <= 0)
        return q.failure(QString());
    return q;
}

namespace {

// A VMDK's own identity and its parent's, as its descriptor records them.
bool sameIdentity(const QByteArray &parentCid, const QByteArray &cid)
{
    return parentCid.isEmpty() || cid.isEmpty() || parentCid.compare(cid, Qt::CaseInsensitive) == 0;
}

} // namespace

Result<vmdkdescriptor::Descriptor> QemuImage::descriptorOf(const PinnedFile &file, const ImageFormat &format,
                                                           QByteArrayView head) const
{
    if (format.kind == ImageFormat::Kind::VmdkDescriptor) {
        if (file.size() > kLargestDescriptor)
            return Failed{failure(QString()).reason};
        return vmdkdescriptor::parse(file.readAt(0, kLargestDescriptor), file.name());
    }
    // A sparse VMDK: QEMU looks for a parent's name in the 10 KiB after the
    // header, whatever the header says of its descriptor.
    const imageformat::VmdkDescriptorPlace place = imageformat::vmdkDescriptorPlace(head);
    const qint64 length = qMax<qint64>(kEmbeddedDescriptor, place.offset == 512 ? place.length : 0);
    QByteArray text = file.readAt(512, length);
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text.truncate(nul);
    if (place.offset == 512)
        return vmdkdescriptor::parse(text, file.name());
    if (text.contains("parentFileNameHint"))
        return Failed{QCoreApplication::translate("drives", "%1 er et VMDK-bilde med et foreldrenavn vendral ikke forstår").arg(file.name())};
    vmdkdescriptor::Descriptor none;
    if (place.length > 0) {
        const Result<vmdkdescriptor::Descriptor> own = vmdkdescriptor::parse(file.readAt(place.offset, place.length), file.name());
        if (!own)
            return own;
        if (!own->parentHint.isEmpty())
            return Failed{QCoreApplication::translate("drives", "%1 er et VMDK-bilde med et foreldrenavn vendral ikke forstår").arg(file.name())};
        none.cid = own->cid;
    }
    return none;
}

Result<std::shared_ptr<PinnedFile>> QemuImage::openPart(const PinnedFile &from, const vmdkdescriptor::Extent &extent)
{
    Result<std::shared_ptr<PinnedFile>> part = relatedfile::open(from, extent.file, relatedfile::Role::Part);
    if (!part)
        return part;
    if (extent.isRaw()) {
        if (const Result<bool> inside = relatedfile::mayReadRaw(from, **part, m_home, relatedfile::Role::Part); !inside)
            return Failed{inside.reason()};
    } else {
        // QEMU reads a sparse part by its own header: it must be a sparse
        // VMDK with a size, never one that names further files.
        const QByteArray head = (*part)->readAt(0, imageformat::kHeadBytes);
        const ImageFormat format = imageformat::recognise(head);
        if (format.kind != ImageFormat::Kind::Vmdk || imageformat::virtualSize(format, head) <= 0)
            return Failed{QCoreApplication::translate("drives", "en del av %1 er ikke et VMDK-bilde: %2").arg(from.name(), (*part)->name())};
    }
    m_files.push_back(*part);
    return part;
}

Result<bool> QemuImage::addLayer(const QString &prefix, std::shared_ptr<PinnedFile> file, const ImageFormat &format,
                                 QByteArrayView head, int depth)
{
    using Kind = ImageFormat::Kind;
    if (depth > kDeepestChain)
        return Failed{QCoreApplication::translate("drives", "%1 har en for lang kjede av foreldrebilder").arg(m_name)};
    if (depth == 0) {
        m_files.push_back(file);
        m_home = relatedfile::Home::of(*file);
    }
    m_options.append({prefix + QStringLiteral("driver"), format.qemuDriver()});

    QByteArray parentName;
    QByteArray parentCid; // a VMDK parent's identity
    switch (format.kind) {
    case Kind::VmdkDescriptor: {
        const Result<vmdkdescriptor::Descriptor> d = descriptorOf(*file, format, head);
        if (!d)
            return Failed{d.reason()};
        if (d->extents.isEmpty())
            return failure(QString());
        QList<QByteArray> paths;
        for (const vmdkdescriptor::Extent &extent : d->extents) {
            const Result<std::shared_ptr<PinnedFile>> part = openPart(*file, extent);
            if (!part)
                return Failed{part.reason()};
            paths.append((*part)->procPath().toLatin1());
        }
        Result<std::shared_ptr<MemoryFile>> memory = MemoryFile::holding(vmdkdescriptor::rewritten(*d, paths));
        if (!memory)
            return Failed{memory.reason()};
        m_descriptors.push_back(*memory);
        m_options.append({prefix + QStringLiteral("file.driver"), QStringLiteral("file")});
        m_options.append({prefix + QStringLiteral("file.filename"), (*memory)->procPath()});
        m_options.append({prefix + QStringLiteral("file.locking"), QStringLiteral("off")});
        for (qsizetype extent = 0; extent < d->extents.size(); ++extent)
            m_options.append({prefix + QStringLiteral("extents.%1.locking").arg(extent), QStringLiteral("off")});
        if (depth == 0)
            m_size = d->sectors * 512;
        parentName = d->parentHint;
        parentCid = d->parentCid;
        break;
    }
    case Kind::Vmdk: {
        if (imageformat::virtualSize(format, head) <= 0) // QEMU would read its descriptor's parts instead
            return Failed{failure(QString()).reason};
        const Result<vmdkdescriptor::Descriptor> d = descriptorOf(*file, format, head);
        if (!d)
            return Failed{d.reason()};
        parentName = d->parentHint;
        parentCid = d->parentCid;
        break;
    }
    case Kind::Qcow2: {
        const imageformat::Qcow2Header h = imageformat::qcow2Header(head);
        if (h.cryptMethod != 0) {
            return Failed{QCoreApplication::translate("drives", "%1 er kryptert, og vendral leser ikke krypterte bilder; lag en ukryptert "
                                         "kopi med qemu-img convert først")
                              .arg(m_name)};
        }
        const PinnedFile &f = *file;
        const Result<qcow2map::Facts> sound = qcow2map::check(head, f.size(), [&f](qint64 o, qint64 l) { return f.readAt(o, l); },
                                                              depth == 0 ? m_name : f.name());
        if (!sound)
            return sound.failure();
        m_compressed = m_compressed || sound->compressed;
        if (h.backingOffset != 0) {
            if (h.backingLength == 0 || h.backingLength > 1023)
                return failure(QString());
            parentName = file->readAt(static_cast<qint64>(qMin<quint64>(h.backingOffset, quint64(1) << 62)), h.backingLength);
            if (parentName.size() != static_cast<qsizetype>(h.backingLength))
                return failure(QString());
        }
        break;
    }
    case Kind::Vdi:
        if (imageformat::isDifferencingVdi(head)) {
            return Failed{QCoreApplication::translate("drives", "%1 er et differanse-VDI (et øyeblikksbilde i VirtualBox), som QEMU ikke kan "
                                         "følge; slå øyeblikksbildene sammen i VirtualBox først")
                              .arg(m_name)};
        }
        break;
    case Kind::DifferencingVhd:
        return Failed{QCoreApplication::translate("drives", "%1 bygger på en differanse-VHD, som QEMU ikke kan følge").arg(m_name)};
    case Kind::Vhdx:
        return Failed{QCoreApplication::translate("drives", "%1 bygger på et VHDX-bilde, som vendral ikke leser").arg(m_name)};
    case Kind::Raw:
    case Kind::DynamicVhd:
        break;
    }
    if (format.kind != Kind::VmdkDescriptor) {
        m_options.append({prefix + QStringLiteral("file.driver"), QStringLiteral("file")});
        m_options.append({prefix + QStringLiteral("file.filename"), file->procPath()});
        m_options.append({prefix + QStringLiteral("file.locking"), QStringLiteral("off")});
    }
    if (parentName.isEmpty()) {
        // QEMU opens no parent of its own accord: none is none.
        m_options.append({prefix + QStringLiteral("backing"), QString()});
        return true;
    }
    Result<std::shared_ptr<PinnedFile>> parent = relatedfile::open(*file, parentName, relatedfile::Role::Parent);
    if (!parent)
        return Failed{parent.reason()};
    m_files.push_back(*parent);
    const QByteArray parentHead = (*parent)->readAt(0, imageformat::kHeadBytes);
    const ImageFormat parentFormat = imageformat::recognise(parentHead);
    if (parentFormat.isRaw()) {
        if (const Result<bool> inside = relatedfile::mayReadRaw(*file, **parent, m_home, relatedfile::Role::Parent); !inside)
            return inside;
    }
    if (format.kind == Kind::Vmdk || format.kind == Kind::VmdkDescriptor) {
        const bool parentIsVmdk = parentFormat.kind == Kind::Vmdk || parentFormat.kind == Kind::VmdkDescriptor;
        const Result<vmdkdescriptor::Descriptor> pd =
            parentIsVmdk ? descriptorOf(**parent, parentFormat, parentHead) : Result<vmdkdescriptor::Descriptor>(Failed{});
        if (!parentIsVmdk || (pd && !sameIdentity(parentCid, pd->cid))) {
            return Failed{QCoreApplication::translate("drives", "foreldrebildet til %1 er ikke det bildet det ble laget fra: %2")
                              .arg(file->name(), (*parent)->path())};
        }
    }
    return addLayer(prefix + QStringLiteral("backing."), *parent, parentFormat, parentHead, depth + 1);
}

QString QemuImage::options(const QString &prefix) const
{
    QStringList parts;
    for (const auto &[key, value] : m_options)
        parts.append(prefix + key + QLatin1Char('=') + escaped(value));
    return parts.join(QLatin1Char(','));
}

Failed QemuImage::failure(const QString &qemuError) const
{
    const QString format = m_format.name();
    if (qemuError.contains(QLatin1String("ncrypt")))
        return Failed{QCoreApplication::translate("drives", "%1 er kryptert, og vendral leser ikke krypterte bilder; lag en ukryptert kopi "
                                     "med qemu-img convert først")
                          .arg(m_name)};
    if (qemuError.contains(QLatin1String("nsupported")) || qemuError.contains(QLatin1String("not supported")))
        return Failed{QCoreApplication::translate("drives", "%1 er et %2-bilde av en utgave eller type som QEMU ikke kan lese").arg(m_name, format)};
    return Failed{QCoreApplication::translate("drives", "%1 er et skadet eller avkortet %2-bilde").arg(m_name, format)};
}

Result<std::optional<DiskMap>> QemuImage::map(int timeLimitMs) const
{
    if (m_compressed)
        return std::optional<DiskMap>();
    const Result<ProcessOutput> run = runBounded(
        qemuImg({QStringLiteral("map"), QStringLiteral("-U"), QStringLiteral("--output=human"),
                 QStringLiteral("--image-opts"), options(QString())},
                timeLimitMs, qint64(64) << 20));
    if (!run)
        return Failed{QCoreApplication::translate("drives", "kan ikke lese %1: %2").arg(m_name, run.reason())};
    if (run->exitCode != 0) {
        if (run->err.contains("compressed clusters"))
            return std::optional<DiskMap>();
        return failure(run->firstErrorLine());
    }
    // "0x200000        0x200000        0x201c00        /proc/1234/fd/5"
    DiskMap map;
    map.files = m_files;
    const QList<QByteArray> lines = run->out.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() < 4)
            continue;
        bool ok1 = false, ok2 = false, ok3 = false;
        DiskMap::Extent e;
        e.start = fields[0].toLongLong(&ok1, 0);
        e.length = fields[1].toLongLong(&ok2, 0);
        e.offset = fields[2].toLongLong(&ok3, 0);
        const QString file = QString::fromUtf8(fields.mid(3).join(' '));
        e.file = -1;
        for (size_t f = 0; f < m_files.size(); ++f) {
            if (m_files[f]->procPath() == file)
                e.file = static_cast<int>(f);
        }
        if (!ok1 || !ok2 || !ok3 || e.file < 0 || e.start < 0 || e.length <= 0 || e.offset < 0 || e.end() > m_size
            || (!map.extents.isEmpty() && map.extents.last().end() > e.start) || map.extents.size() >= kMostMapExtents)
            return failure(QString());
        map.extents.append(e);
    }
    return std::optional<DiskMap>(std::move(map));
}

VirtualDisk::Filler QemuImage::converter(int timeLimitMs) const
{
    const QemuImage self = *this;
    return [self, timeLimitMs](const QList<ByteRange> &missing, char *disk) -> Result<bool> {
        for (qsizetype first = 0; first < missing.size(); first += kRangesPerConvert) {
            const QList<ByteRange> batch = missing.mid(first, kRangesPerConvert);
            qint64 total = 0;
            QStringList arguments{QStringLiteral("convert"), QStringLiteral("-U"), QStringLiteral("-n"),
                                  QStringLiteral("--image-opts")};
            for (const ByteRange &r : batch) {
                arguments.append(QStringLiteral("driver=raw,offset=%1,size=%2,").arg(r.start).arg(r.length)
                                 + self.options(QStringLiteral("file.")));
                total += r.length;
            }
            // The ranges one after another in memory of our own, then each
            // copied to its place.
            Result<std::shared_ptr<MemoryFile>> target = MemoryFile::holding(QByteArray());
            if (!target || ::ftruncate((*target)->descriptor(), total) != 0)
                return Failed{QCoreApplication::translate("drives", "fikk ikke minne til å lese %1").arg(self.m_name)};
            arguments << QStringLiteral("--target-image-opts")
                      << QStringLiteral("driver=raw,file.driver=file,file.locking=off,file.filename=")
                             + (*target)->procPath();
            const Result<ProcessOutput> run = runBounded(qemuImg(arguments, timeLimitMs, 1 << 20));
            if (!run)
                return Failed{QCoreApplication::translate("drives", "kan ikke lese %1: %2").arg(self.m_name, run.reason())};
            if (run->exitCode != 0)
                return self.failure(run->firstErrorLine());
            qint64 at = 0;
            for (const ByteRange &r : batch) {
                qint64 done = 0;
                while (done < r.length) {
                    const ssize_t n = ::pread((*target)->descriptor(), disk + r.start + done,
                                              static_cast<size_t>(r.length - done), at + done);
                    if (n <= 0)
                        return Failed{QCoreApplication::translate("drives", "fikk ikke lest %1").arg(self.m_name)};
                    done += n;
                }
                at += r.length;
            }
        }
        return true;
    };
}
