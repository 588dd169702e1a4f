#include "loading/imagedrive.h"

#include "loading/boundedprocess.h"

#include <QRegularExpression>

namespace {

// mtype's output is the file; past this it is no start-up file.
constexpr qint64 kLargestFile = (qint64(1) << 31) - 1;

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

Failed helperFailed(const Result<ProcessOutput> &run)
{
    if (!run)
        return Failed{run.reason()};
    return Failed{QStringLiteral("mtools: %1").arg(run->firstErrorLine())};
}

} // namespace

Result<std::shared_ptr<ImageDrive>> ImageDrive::open(const QString &image, int partition)
{
    return open(image, partition, Limits());
}

std::shared_ptr<ImageDrive> ImageDrive::open(const QString &image, int partition, QString *error)
{
    Result<std::shared_ptr<ImageDrive>> drive = open(image, partition);
    if (!drive) {
        *error = drive.reason();
        return nullptr;
    }
    return *drive;
}

Result<std::shared_ptr<ImageDrive>> ImageDrive::open(const QString &image, int partition, const Limits &limits)
{
    Result<std::unique_ptr<ImageDisk>> opened = ImageDisk::open(image, limits.qemuMs);
    if (!opened)
        return Failed{opened.reason()};
    std::unique_ptr<ImageDisk> disk = std::move(opened).value();
    const QString name = fileNameOf(image);
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
        return Failed{QStringLiteral("%1 inneholder ingen FAT-stasjon").arg(name)};
    // The boot sector, the FATs and a FAT12/16 root directory: mtools reads
    // them for every path.
    const Result<bool> system = disk->ensure({{volume.offset, layout->systemBytes}});
    if (!system)
        return Failed{system.reason()};
    return std::shared_ptr<ImageDrive>(new ImageDrive(std::move(disk), volume.offset, *layout, limits));
}

ImageDrive::ImageDrive(std::unique_ptr<ImageDisk> disk, qint64 offset, diskimage::FatLayout layout, Limits limits)
    : m_disk(std::move(disk)), m_offset(offset), m_layout(layout), m_limits(limits)
{
}

QString ImageDrive::mtoolsPath(const QStringList &components)
{
    return QStringLiteral("::/") + components.join(QLatin1Char('/'));
}

BoundedCommand ImageDrive::mtools(const QString &tool, const QStringList &arguments) const
{
    BoundedCommand c;
    c.program = tool;
    // The file checked at open, never its name again: "@@" is mtools' own
    // offset syntax, used here only on a path built here.
    QString image = m_disk->procPath();
    if (m_offset > 0)
        image += QStringLiteral("@@") + QString::number(m_offset);
    c.arguments = QStringList{QStringLiteral("-i"), image} + arguments;
    c.timeLimitMs = m_limits.mtoolsMs;
    c.outputCap = kLargestFile;
    c.package = QStringLiteral("mtools");
    // No user's ~/.mtoolsrc, an empty file in its place, and the settings
    // that change what is read fixed to mtools' own defaults.
    c.environment = {{"HOME", "/nonexistent"},       {"MTOOLSRC", "/dev/null"},   {"MTOOLS_SKIP_CHECK", "1"},
                     {"MTOOLS_LOWER_CASE", "0"},     {"MTOOLS_NO_VFAT", "0"},     {"MTOOLS_DOTTED_DIR", "0"},
                     {"LC_ALL", "C.UTF-8"}};
    return c;
}

Result<bool> ImageDrive::unpackChainsOf(const QStringList &paths) const
{
    // "::/WINDOWS <7-9> <31>": the clusters a path's entry holds.
    static const QRegularExpression span(QStringLiteral("<(\\d+)(?:-(\\d+))?>"));
    const Result<ProcessOutput> run = runBounded(mtools(QStringLiteral("mshowfat"), paths));
    if (!run || run->exitCode != 0)
        return Failed{run ? QStringLiteral("filen finnes ikke") : run.reason()};
    QList<ByteRange> ranges;
    for (const QByteArray &line : run->out.split('\n')) {
        const QString text = QString::fromUtf8(line);
        // Skip the path itself, which may hold anything.
        const int after = text.indexOf(QLatin1Char(' '), text.lastIndexOf(QLatin1Char('/')));
        QRegularExpressionMatchIterator it = span.globalMatch(text, qMax(after, 0));
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const quint32 first = m.captured(1).toUInt();
            const quint32 last = m.captured(2).isEmpty() ? first : m.captured(2).toUInt();
            if (first < 2 || last < first)
                continue;
            const qint64 start = m_offset + m_layout.clusterStart(first);
            ranges.append({start, qint64(last - first + 1) * m_layout.clusterBytes});
        }
    }
    return m_disk->ensure(ranges);
}

Result<bool> ImageDrive::unpackDirectories(const QStringList &components, bool withLast) const
{
    if (!m_disk->isVirtual())
        return true;
    // Each directory needs its parent unpacked before mtools can find it.
    for (qsizetype depth = 0; depth <= components.size() - (withLast ? 0 : 1); ++depth) {
        const QStringList directory = components.mid(0, depth);
        const QString path = mtoolsPath(directory);
        if (m_unpackedDirectories.contains(path))
            continue;
        const Result<bool> done = unpackChainsOf({path});
        if (!done)
            return done;
        m_unpackedDirectories.insert(path);
    }
    return true;
}

int ImageDrive::kindOf(const QStringList &components, QString *reason) const
{
    const auto fail = [reason](const QString &why, int kind) {
        if (reason)
            *reason = why;
        return kind;
    };
    if (components.isEmpty())
        return fail(QStringLiteral("det er en mappe, ikke en fil"), 0);
    // mtools would take these as wildcards; a DOS name never holds them.
    for (const QString &c : components) {
        if (c.contains(QLatin1Char('*')) || c.contains(QLatin1Char('?')))
            return fail(QStringLiteral("filen finnes ikke"), -1);
    }
    if (const Result<bool> ready = unpackDirectories(components, false); !ready)
        return fail(ready.reason(), -1);
    // "mdir -b" names a file by the path asked for, and lists a directory's
    // entries below it instead.
    const QString path = mtoolsPath(components);
    const Result<ProcessOutput> run = runBounded(mtools(QStringLiteral("mdir"), {QStringLiteral("-b"), QStringLiteral("-a"), path}));
    if (!run || run->exitCode != 0) {
        if (run && run->err.contains("not found"))
            return fail(QStringLiteral("filen finnes ikke"), -1);
        return fail(helperFailed(run).reason, -1);
    }
    const QList<QByteArray> lines = run->out.trimmed().split('\n');
    if (lines.size() == 1 && QString::fromUtf8(lines.first()).compare(path, Qt::CaseInsensitive) == 0)
        return 1;
    return fail(QStringLiteral("det er en mappe, ikke en fil"), 0);
}

Result<QByteArray> ImageDrive::readFile(const QStringList &components) const
{
    QString reason;
    if (kindOf(components, &reason) != 1)
        return Failed{reason};
    const QString path = mtoolsPath(components);
    if (m_disk->isVirtual()) {
        if (const Result<bool> unpacked = unpackChainsOf({path}); !unpacked)
            return Failed{unpacked.reason()};
    }
    Result<ProcessOutput> run = runBounded(mtools(QStringLiteral("mtype"), {path}));
    if (!run || run->exitCode != 0)
        return helperFailed(run);
    return std::move(run.value().out);
}

Result<QList<DirEntry>> ImageDrive::listDirectory(const QStringList &components) const
{
    if (const Result<bool> ready = unpackDirectories(components, true); !ready)
        return Failed{ready.reason() == QLatin1String("filen finnes ikke") ? QStringLiteral("mappen finnes ikke") : ready.reason()};
    // "mdir -b" prints one path per entry, a directory's with a "/" at the end.
    const QString dir = mtoolsPath(components);
    const Result<ProcessOutput> run = runBounded(mtools(QStringLiteral("mdir"), {QStringLiteral("-b"), QStringLiteral("-a"), dir}));
    if (!run || run->exitCode != 0) {
        if (run && run->err.contains("not found"))
            return Failed{QStringLiteral("mappen finnes ikke")};
        return helperFailed(run);
    }
    QList<DirEntry> entries;
    for (const QByteArray &line : run->out.split('\n')) {
        QString path = QString::fromUtf8(line);
        if (path.isEmpty())
            continue;
        const bool isDirectory = path.endsWith(QLatin1Char('/'));
        if (isDirectory)
            path.chop(1);
        entries.append({path.mid(path.lastIndexOf(QLatin1Char('/')) + 1), isDirectory});
    }
    return entries;
}

bool ImageDrive::fileExists(const QStringList &components) const
{
    return kindOf(components, nullptr) == 1;
}
