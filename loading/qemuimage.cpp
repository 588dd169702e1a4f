#include "loading/qemuimage.h"

#include "loading/boundedprocess.h"

#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace {

// A chain of parents longer than this is a loop or a hostile image.
constexpr int kDeepestChain = 16;
constexpr qint64 kLargestDescriptor = 64 * 1024;
// How many ranges one qemu-img convert copies.
constexpr int kRangesPerConvert = 32;

QString directoryOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

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

Result<std::shared_ptr<PinnedFile>> QemuImage::openRelated(const PinnedFile &from, const QString &name, bool parent)
{
    const QString path = name.startsWith(QLatin1Char('/')) ? name : directoryOf(from.path()) + QLatin1Char('/') + name;
    Result<std::shared_ptr<PinnedFile>> file = PinnedFile::open(path);
    if (!file) {
        return Failed{(parent ? QStringLiteral("foreldrebildet til %1 kan ikke leses: %2")
                              : QStringLiteral("en del av %1 kan ikke leses: %2"))
                          .arg(from.name(), file.reason())};
    }
    m_files.push_back(*file);
    return file;
}

Result<bool> QemuImage::addLayer(const QString &prefix, std::shared_ptr<PinnedFile> file, const ImageFormat &format,
                                 QByteArrayView head, int depth)
{
    using Kind = ImageFormat::Kind;
    if (depth > kDeepestChain)
        return Failed{QStringLiteral("%1 har en for lang kjede av foreldrebilder").arg(m_name)};
    if (format.kind == Kind::DifferencingVhd)
        return Failed{QStringLiteral("%1 bygger på en differanse-VHD, som QEMU ikke kan følge").arg(m_name)};
    if (depth == 0)
        m_files.push_back(file);
    m_options.append({prefix + QStringLiteral("driver"), format.qemuDriver()});

    QString parentName;
    if (format.kind == Kind::VmdkDescriptor) {
        if (file->size() > kLargestDescriptor)
            return failure(QString());
        qint64 sectors = 0;
        QList<int> extentFiles;
        const Result<QByteArray> text = rewriteDescriptor(*file, file->readAt(0, kLargestDescriptor), &sectors, &extentFiles);
        if (!text)
            return Failed{text.reason()};
        Result<std::shared_ptr<MemoryFile>> memory = MemoryFile::holding(*text);
        if (!memory)
            return Failed{memory.reason()};
        m_descriptors.push_back(*memory);
        m_options.append({prefix + QStringLiteral("file.driver"), QStringLiteral("file")});
        m_options.append({prefix + QStringLiteral("file.filename"), (*memory)->procPath()});
        m_options.append({prefix + QStringLiteral("file.locking"), QStringLiteral("off")});
        for (int extent : extentFiles)
            m_options.append({prefix + QStringLiteral("extents.%1.locking").arg(extent), QStringLiteral("off")});
        if (depth == 0)
            m_size = sectors * 512;
        return true;
    }
    m_options.append({prefix + QStringLiteral("file.driver"), QStringLiteral("file")});
    m_options.append({prefix + QStringLiteral("file.filename"), file->procPath()});
    m_options.append({prefix + QStringLiteral("file.locking"), QStringLiteral("off")});

    if (format.kind == Kind::Qcow2) {
        const imageformat::Qcow2Header h = imageformat::qcow2Header(head);
        if (h.cryptMethod != 0) {
            return Failed{QStringLiteral("%1 er kryptert, og vendral leser ikke krypterte bilder; lag en ukryptert "
                                         "kopi med qemu-img convert først")
                              .arg(m_name)};
        }
        // QEMU reads a map table cut off by the end of the file as empty.
        if (h.l1Entries > 0 && (h.l1Offset > quint64(file->size()) || (quint64(file->size()) - h.l1Offset) / 8 < h.l1Entries))
            return failure(QString());
        if (h.backingOffset != 0) {
            if (h.backingLength == 0 || h.backingLength > 1023)
                return failure(QString());
            const QByteArray name = file->readAt(static_cast<qint64>(qMin<quint64>(h.backingOffset, quint64(1) << 62)),
                                                 h.backingLength);
            if (name.size() != static_cast<qsizetype>(h.backingLength))
                return failure(QString());
            parentName = QFile::decodeName(name);
        }
    } else if (format.kind == Kind::Vmdk) {
        const imageformat::VmdkDescriptorPlace place = imageformat::vmdkDescriptorPlace(head);
        if (place.length > 0) {
            static const QRegularExpression hint(QStringLiteral("^parentFileNameHint=\"([^\"]*)\""),
                                                 QRegularExpression::MultilineOption);
            const QString text = QString::fromUtf8(file->readAt(place.offset, place.length));
            const QRegularExpressionMatch m = hint.match(text);
            if (m.hasMatch())
                parentName = m.captured(1);
        }
    } else if (format.kind == Kind::Vdi && imageformat::isDifferencingVdi(head)) {
        return Failed{QStringLiteral("%1 er et differanse-VDI (et øyeblikksbilde i VirtualBox), som QEMU ikke kan "
                                     "følge; slå øyeblikksbildene sammen i VirtualBox først")
                          .arg(m_name)};
    }
    if (parentName.isEmpty())
        return true;
    const Result<std::shared_ptr<PinnedFile>> parent = openRelated(*file, parentName, true);
    if (!parent)
        return Failed{parent.reason()};
    const QByteArray parentHead = (*parent)->readAt(0, imageformat::kHeadBytes);
    return addLayer(prefix + QStringLiteral("backing."), *parent, imageformat::recognise(parentHead), parentHead,
                    depth + 1);
}

Result<QByteArray> QemuImage::rewriteDescriptor(const PinnedFile &file, QByteArray text, qint64 *sectors,
                                                QList<int> *extentFiles)
{
    static const QRegularExpression anyExtent(QStringLiteral("^\\s*(?:RW|RDONLY|NOACCESS)\\s"));
    int extents = 0;
    // RW 4192256 SPARSE "disk-s001.vmdk"   /   parentFileNameHint="base.vmdk"
    static const QRegularExpression extent(QStringLiteral("^(\\s*(?:RW|RDONLY|NOACCESS)\\s+(\\d+)\\s+\\w+\\s+)\"([^\"]*)\""));
    static const QRegularExpression hint(QStringLiteral("^(\\s*parentFileNameHint\\s*=\\s*)\"([^\"]*)\""));
    QByteArrayList lines = text.split('\n');
    for (QByteArray &line : lines) {
        const QString l = QString::fromUtf8(line);
        QRegularExpressionMatch m = extent.match(l);
        const bool isExtent = anyExtent.match(l).hasMatch();
        if (m.hasMatch())
            extentFiles->append(extents);
        extents += isExtent ? 1 : 0;
        if (m.hasMatch()) {
            *sectors += m.captured(2).toLongLong();
            const Result<std::shared_ptr<PinnedFile>> part = openRelated(file, m.captured(3), false);
            if (!part)
                return Failed{part.reason()};
            line = (m.captured(1) + QLatin1Char('"') + (*part)->procPath() + QLatin1Char('"') + l.mid(m.capturedEnd(0)))
                       .toUtf8();
            continue;
        }
        m = hint.match(l);
        if (m.hasMatch()) {
            const Result<std::shared_ptr<PinnedFile>> parent = openRelated(file, m.captured(2), true);
            if (!parent)
                return Failed{parent.reason()};
            line = (m.captured(1) + QLatin1Char('"') + (*parent)->procPath() + QLatin1Char('"')).toUtf8();
        }
    }
    if (*sectors <= 0)
        return failure(QString());
    return lines.join('\n');
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
        return Failed{QStringLiteral("%1 er kryptert, og vendral leser ikke krypterte bilder; lag en ukryptert kopi "
                                     "med qemu-img convert først")
                          .arg(m_name)};
    if (qemuError.contains(QLatin1String("nsupported")) || qemuError.contains(QLatin1String("not supported")))
        return Failed{QStringLiteral("%1 er et %2-bilde av en utgave eller type som QEMU ikke kan lese").arg(m_name, format)};
    return Failed{QStringLiteral("%1 er et skadet eller avkortet %2-bilde").arg(m_name, format)};
}

Result<std::optional<DiskMap>> QemuImage::map(int timeLimitMs) const
{
    const Result<ProcessOutput> run = runBounded(
        qemuImg({QStringLiteral("map"), QStringLiteral("-U"), QStringLiteral("--output=human"),
                 QStringLiteral("--image-opts"), options(QString())},
                timeLimitMs, qint64(256) << 20));
    if (!run)
        return Failed{QStringLiteral("kan ikke lese %1: %2").arg(m_name, run.reason())};
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
            || (!map.extents.isEmpty() && map.extents.last().end() > e.start))
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
                return Failed{QStringLiteral("fikk ikke minne til å lese %1").arg(self.m_name)};
            arguments << QStringLiteral("--target-image-opts")
                      << QStringLiteral("driver=raw,file.driver=file,file.locking=off,file.filename=")
                             + (*target)->procPath();
            const Result<ProcessOutput> run = runBounded(qemuImg(arguments, timeLimitMs, 1 << 20));
            if (!run)
                return Failed{QStringLiteral("kan ikke lese %1: %2").arg(self.m_name, run.reason())};
            if (run->exitCode != 0)
                return self.failure(run->firstErrorLine());
            qint64 at = 0;
            for (const ByteRange &r : batch) {
                qint64 done = 0;
                while (done < r.length) {
                    const ssize_t n = ::pread((*target)->descriptor(), disk + r.start + done,
                                              static_cast<size_t>(r.length - done), at + done);
                    if (n <= 0)
                        return Failed{QStringLiteral("fikk ikke lest %1").arg(self.m_name)};
                    done += n;
                }
                at += r.length;
            }
        }
        return true;
    };
}
