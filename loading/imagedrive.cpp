#include "loading/imagedrive.h"

#include "loading/diskimage.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

// One mtools call never takes this long on a local image; past it the call
// is given up rather than left to hang the program.
constexpr int kMtoolsTimeoutMs = 30000;

QByteArray readAt(QFile &file, qint64 offset)
{
    if (offset < 0 || !file.seek(offset))
        return {};
    return file.read(512);
}

} // namespace

std::shared_ptr<ImageDrive> ImageDrive::open(const QString &image, int partition, QString *error)
{
    const QString name = QFileInfo(image).fileName();
    QFile file(image);
    if (!QFileInfo(image).isFile() || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("kan ikke lese diskbildet %1").arg(image);
        return nullptr;
    }
    const QByteArray head = file.read(512);
    const FatVolume volume = FatVolume::locate(
        head, [&file](qint64 offset) { return readAt(file, offset); }, file.size(), partition, name);
    if (volume.offset < 0) {
        *error = volume.error;
        return nullptr;
    }
    return std::make_shared<ImageDrive>(image, volume.offset);
}

ImageDrive::ImageDrive(QString image, qint64 offset) : m_image(std::move(image)), m_offset(offset) {}

QString ImageDrive::mtoolsPath(const QStringList &components)
{
    return QStringLiteral("::/") + components.join(QLatin1Char('/'));
}

ImageDrive::Run ImageDrive::mtools(const QString &tool, const QStringList &arguments) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No user's ~/.mtoolsrc, an empty file in its place, and the settings
    // that change what is read fixed to mtools' own defaults.
    env.insert(QStringLiteral("HOME"), QStringLiteral("/nonexistent"));
    env.insert(QStringLiteral("MTOOLSRC"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    env.insert(QStringLiteral("MTOOLS_LOWER_CASE"), QStringLiteral("0"));
    env.insert(QStringLiteral("MTOOLS_NO_VFAT"), QStringLiteral("0"));
    env.insert(QStringLiteral("MTOOLS_DOTTED_DIR"), QStringLiteral("0"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    const QString image = m_offset > 0 ? m_image + QStringLiteral("@@") + QString::number(m_offset) : m_image;
    process.start(tool, QStringList{QStringLiteral("-i"), image} + arguments, QIODevice::ReadOnly);
    Run run;
    if (!process.waitForStarted(kMtoolsTimeoutMs)) {
        run.err = QByteArrayLiteral("mtools kan ikke startes (er pakken mtools installert?)");
        return run;
    }
    process.closeWriteChannel();
    // Read as it comes, so a large file does not fill the pipe.
    QByteArray out;
    while (!process.waitForFinished(100)) {
        out += process.readAllStandardOutput();
        if (process.state() == QProcess::NotRunning)
            break;
        if (out.size() > (qint64(1) << 31)) {
            process.kill();
            process.waitForFinished();
            run.err = QByteArrayLiteral("filen er for stor");
            return run;
        }
    }
    out += process.readAllStandardOutput();
    run.finished = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = std::move(out);
    run.err = process.readAllStandardError().trimmed();
    return run;
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
    if (!QFileInfo::exists(m_image))
        return fail(QStringLiteral("diskbildet %1 finnes ikke").arg(m_image), -1);
    // "mdir -b" names a file by the path asked for, and lists a directory's
    // entries below it instead.
    const QString path = mtoolsPath(components);
    const Run run = mtools(QStringLiteral("mdir"), {QStringLiteral("-b"), QStringLiteral("-a"), path});
    if (!run.finished || run.exitCode != 0) {
        if (run.err.contains("not found"))
            return fail(QStringLiteral("filen finnes ikke"), -1);
        return fail(QStringLiteral("mtools: %1").arg(QString::fromUtf8(run.err.split('\n').first())), -1);
    }
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    if (lines.size() == 1 && QString::fromUtf8(lines.first()).compare(path, Qt::CaseInsensitive) == 0)
        return 1;
    return fail(QStringLiteral("det er en mappe, ikke en fil"), 0);
}

Result<QByteArray> ImageDrive::readFile(const QStringList &components) const
{
    QString reason;
    if (kindOf(components, &reason) != 1)
        return Failed{reason};
    Run run = mtools(QStringLiteral("mtype"), {mtoolsPath(components)});
    if (!run.finished || run.exitCode != 0)
        return Failed{QStringLiteral("mtools: %1").arg(QString::fromUtf8(run.err.split('\n').first()))};
    return std::move(run.out);
}

Result<QList<DirEntry>> ImageDrive::listDirectory(const QStringList &components) const
{
    // "mdir -b" prints one path per entry, a directory's with a "/" at the end.
    const QString dir = mtoolsPath(components);
    const Run run = mtools(QStringLiteral("mdir"), {QStringLiteral("-b"), QStringLiteral("-a"), dir});
    if (!run.finished || run.exitCode != 0) {
        if (run.err.contains("not found"))
            return Failed{QStringLiteral("mappen finnes ikke")};
        return Failed{QStringLiteral("mtools: %1").arg(QString::fromUtf8(run.err.split('\n').first()))};
    }
    QList<DirEntry> entries;
    for (const QByteArray &line : run.out.split('\n')) {
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
