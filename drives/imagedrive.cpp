#include "drives/imagedrive.h"

#include "drives/boundedprocess.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>

namespace {

// mtype's output is the file; past this it is no start-up file.
constexpr qint64 kLargestFile = (qint64(1) << 31) - 1;

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// mtools would take "*" and "?" as wildcards; a DOS name never holds them.
bool isPlainPath(const QStringList &components)
{
    for (const QString &c : components) {
        if (c.contains(QLatin1Char('*')) || c.contains(QLatin1Char('?')))
            return false;
    }
    return true;
}

Failed helperFailed(const Result<ProcessOutput> &run)
{
    if (!run)
        return Failed{run.reason()};
    return Failed{QCoreApplication::translate("drives", "mtools: %1").arg(run->firstErrorLine())};
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
    std::unique_ptr<ImageDisk> disk = std::move(opened).value();
    const QString name = fileNameOf(QFile::decodeName(image));
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

namespace {

// A name as the listings are keyed: ASCII names without regard to case, as
// mtools matches them; any other name only as spelled.
QString nameKey(const QString &name)
{
    for (QChar c : name) {
        if (c.unicode() > 0x7F)
            return name;
    }
    QString upper = name;
    for (QChar &c : upper) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    }
    return upper;
}

// "::/WINDOWS/WIN.INI <22> <30-31>" or "::/X Root directory or empty file".
const QRegularExpression &chainLine()
{
    static const QRegularExpression line(
        QStringLiteral("^(::/.*?)((?: <\\d+(?:-\\d+)?>)+| Root directory or empty file)$"));
    return line;
}

} // namespace

QList<ByteRange> ImageDrive::clusterRanges(QStringView spans) const
{
    static const QRegularExpression span(QStringLiteral("<(\\d+)(?:-(\\d+))?>"));
    QList<ByteRange> ranges;
    QRegularExpressionMatchIterator it = span.globalMatch(spans.toString());
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const quint32 first = m.captured(1).toUInt();
        const quint32 last = m.captured(2).isEmpty() ? first : m.captured(2).toUInt();
        if (first >= 2 && last >= first)
            ranges.append({m_offset + m_layout.clusterStart(first), qint64(last - first + 1) * m_layout.clusterBytes});
    }
    return ranges;
}

QList<ByteRange> ImageDrive::rootChain() const
{
    // FAT32 keeps the root directory in clusters; the chain is followed
    // here, in the FAT that is unpacked already.
    QList<ByteRange> ranges;
    quint32 cluster = m_layout.rootCluster;
    for (int step = 0; step < (1 << 16) && cluster >= 2 && cluster < 0x0FFFFFF7; ++step) {
        const qint64 start = m_offset + m_layout.clusterStart(cluster);
        if (!ranges.isEmpty() && ranges.last().end() == start)
            ranges.last().length += m_layout.clusterBytes;
        else
            ranges.append({start, m_layout.clusterBytes});
        const Result<QByteArray> entry = m_disk->read(m_offset + m_layout.fatStart + qint64(cluster) * 4, 4);
        if (!entry || entry->size() != 4)
            break;
        cluster = qFromLittleEndian<quint32>(entry->constData()) & 0x0FFFFFFF;
    }
    return ranges;
}

const ImageDrive::Chains &ImageDrive::listing(const QStringList &directory) const
{
    const QString path = mtoolsPath(directory);
    const auto known = m_listings.constFind(path);
    if (known != m_listings.cend())
        return *known;
    Chains chains;
    const QString pattern = directory.isEmpty() ? QStringLiteral("::/*") : path + QStringLiteral("/*");
    const Result<ProcessOutput> run = runBounded(mtools(QStringLiteral("mshowfat"), {pattern}));
    if (!run || run->exitCode != 0)
        m_unlisted.insert(path);
    if (run && run->exitCode == 0) {
        for (const QByteArray &line : run->out.split('\n')) {
            const QRegularExpressionMatch m = chainLine().match(QString::fromUtf8(line));
            if (!m.hasMatch())
                continue;
            const QString entry = m.captured(1);
            const QString name = entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
            if (name != QLatin1String(".") && name != QLatin1String(".."))
                chains.insert(nameKey(name), clusterRanges(m.capturedView(2)));
        }
    }
    return *m_listings.insert(path, chains);
}

Result<QList<ByteRange>> ImageDrive::chainOf(const QStringList &components) const
{
    const QStringList parent = components.mid(0, components.size() - 1);
    const Chains &siblings = listing(parent);
    const QString key = nameKey(components.last());
    const auto found = siblings.constFind(key);
    if (found != siblings.cend())
        return *found;
    // The listing names each entry by its long name: a name it lacks is
    // asked of mtools itself only when it may be another spelling of one
    // (a short name "PROGRA~1", a letter beyond ASCII) or when the
    // directory could not be listed. A name found missing stays missing,
    // so a search path of a thousand absent folders costs no process each.
    const QString path = mtoolsPath(components);
    if ((!mayBeAlias(key) && !m_unlisted.contains(mtoolsPath(parent))) || m_missing.contains(path))
        return Failed{QCoreApplication::translate("drives", "filen finnes ikke"), FailureKind::Missing};
    const Result<ProcessOutput> run = runBounded(mtools(QStringLiteral("mshowfat"), {path}));
    if (!run)
        return Failed{run.reason()};
    const QRegularExpressionMatch m = chainLine().match(QString::fromUtf8(run->out.trimmed()));
    if (run->exitCode != 0 || !m.hasMatch()) {
        m_missing.insert(path);
        return Failed{QCoreApplication::translate("drives", "filen finnes ikke"), FailureKind::Missing};
    }
    return clusterRanges(m.capturedView(2));
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
        Result<QList<ByteRange>> chain = depth == 0 ? Result<QList<ByteRange>>(rootChain()) : chainOf(directory);
        if (!chain)
            return Failed{chain.reason()};
        if (const Result<bool> done = m_disk->ensure(*chain); !done)
            return done;
        m_unpackedDirectories.insert(path);
    }
    return true;
}

bool ImageDrive::mayBeAlias(const QString &key)
{
    return key.contains(QLatin1Char('~'))
           || std::any_of(key.cbegin(), key.cend(), [](QChar c) { return c.unicode() > 0x7F; });
}

const ImageDrive::Entries &ImageDrive::entriesOf(const QStringList &directory) const
{
    const QString path = mtoolsPath(directory);
    const auto known = m_entries.constFind(path);
    if (known != m_entries.cend())
        return *known;
    Entries entries;
    const Result<bool> ready = knownAbsent(directory) ? Result<bool>(Failed{}) : unpackDirectories(directory, true);
    if (!ready) {
        // Absent, as its parent's listing or the FAT says; or not to be read.
        entries.absent = ready.reason().isEmpty() || ready.kind() == FailureKind::Missing;
        entries.failure = entries.absent ? QString() : ready.reason();
    } else {
        // "mdir -b" prints one path per entry, a directory's with a "/" at the end.
        const Result<ProcessOutput> run =
            runBounded(mtools(QStringLiteral("mdir"), {QStringLiteral("-b"), QStringLiteral("-a"), path}));
        if (!run || run->exitCode != 0) {
            entries.absent = run && run->err.contains("not found");
            entries.failure = entries.absent ? QString() : helperFailed(run).reason;
        } else {
            for (const QByteArray &line : run->out.split('\n')) {
                QString entry = QString::fromUtf8(line);
                if (entry.isEmpty())
                    continue;
                const bool isDirectory = entry.endsWith(QLatin1Char('/'));
                if (isDirectory)
                    entry.chop(1);
                entries.list.append({entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1), isDirectory});
            }
        }
    }
    // Outside a pass nothing is kept: the next question sees the image as it
    // then is.
    if (!inPass()) {
        m_entries.clear();
        m_uncached = entries;
        return m_uncached;
    }
    return *m_entries.insert(path, entries);
}

std::optional<int> ImageDrive::listedKind(const QStringList &components) const
{
    if (!inPass() || components.isEmpty())
        return std::nullopt;
    const QString key = nameKey(components.last());
    if (mayBeAlias(key))
        return std::nullopt;
    const Entries &siblings = entriesOf(components.mid(0, components.size() - 1));
    if (siblings.absent)
        return -1;
    if (!siblings.failure.isEmpty())
        return std::nullopt;
    const auto entry = std::find_if(siblings.list.cbegin(), siblings.list.cend(),
                                    [&key](const DirEntry &e) { return nameKey(e.name) == key; });
    if (entry == siblings.list.cend())
        return -1;
    return entry->isDirectory ? 0 : 1;
}

int ImageDrive::kindOf(const QStringList &components, Failed *why) const
{
    const auto fail = [why](const Failed &failure, int kind) {
        if (why)
            *why = failure;
        return kind;
    };
    const Failed missing{QCoreApplication::translate("drives", "filen finnes ikke"), FailureKind::Missing};
    const Failed directory{QCoreApplication::translate("drives", "det er en mappe, ikke en fil"), FailureKind::NotRegular};
    if (components.isEmpty())
        return fail(directory, 0);
    // In a pass, a name its directory's listing has or lacks costs no
    // helper: a search path of a thousand absent folders is looked through
    // at once, and each start-up file is read without a probe first.
    const std::optional<int> listed = isPlainPath(components) ? listedKind(components) : -1;
    if (listed == -1)
        return fail(missing, -1);
    if (listed == 0)
        return fail(directory, 0);
    if (const Result<bool> ready = unpackDirectories(components, false); !ready)
        return fail(ready.failure(), -1);
    if (listed == 1)
        return 1;
    // "mdir -b" names a file by the path asked for, and lists a directory's
    // entries below it instead.
    const QString path = mtoolsPath(components);
    const Result<ProcessOutput> run = runBounded(mtools(QStringLiteral("mdir"), {QStringLiteral("-b"), QStringLiteral("-a"), path}));
    if (!run || run->exitCode != 0) {
        if (run && run->err.contains("not found"))
            return fail(missing, -1);
        return fail(helperFailed(run), -1);
    }
    const QList<QByteArray> lines = run->out.trimmed().split('\n');
    if (lines.size() == 1 && QString::fromUtf8(lines.first()).compare(path, Qt::CaseInsensitive) == 0)
        return 1;
    return fail(directory, 0);
}

Result<QByteArray> ImageDrive::readFile(const QStringList &components) const
{
    // mtype would print every file of a directory: a file it must be.
    Failed why;
    if (kindOf(components, &why) != 1)
        return why;
    if (m_disk->isVirtual()) {
        const Result<QList<ByteRange>> chain = chainOf(components);
        if (!chain)
            return Failed{chain.reason()};
        if (const Result<bool> unpacked = m_disk->ensure(*chain); !unpacked)
            return Failed{unpacked.reason()};
    }
    Result<ProcessOutput> run = runBounded(mtools(QStringLiteral("mtype"), {mtoolsPath(components)}));
    if (!run || run->exitCode != 0)
        return helperFailed(run);
    return std::move(run.value().out);
}

Result<QList<DirEntry>> ImageDrive::listDirectory(const QStringList &components) const
{
    const Entries &entries = entriesOf(components);
    if (entries.absent)
        return Failed{QCoreApplication::translate("drives", "mappen finnes ikke"), FailureKind::Missing};
    if (!entries.failure.isEmpty())
        return Failed{entries.failure};
    return entries.list;
}

bool ImageDrive::fileExists(const QStringList &components) const
{
    return kindOf(components, nullptr) == 1;
}
