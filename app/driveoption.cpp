#include "app/driveoption.h"

#include "drives/directorydrive.h"
#include "drives/imagedrive.h"

#include <QFile>

#include <sys/stat.h>

namespace {

// The partition of "IMAGE#N": only "#1" to "#4", nothing else after the "#".
std::optional<int> partitionNumber(QByteArrayView suffix)
{
    if (suffix.size() == 1 && suffix[0] >= '1' && suffix[0] <= '4')
        return suffix[0] - '0';
    return std::nullopt;
}

// What a path names, asked of the bytes the system gave (a name that is
// not UTF-8 stays as it is).
bool isDirectory(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

Result<std::shared_ptr<Drive>> openDrive(const CommandLine::DriveArgument &argument)
{
    const QByteArray &path = argument.location;
    if (isDirectory(path))
        return std::shared_ptr<Drive>(std::make_shared<DirectoryDrive>(path));
    QByteArray image = path;
    int partition = 0;
    const qsizetype hash = path.lastIndexOf('#');
    if (hash > 0 && !isFile(path)) {
        const std::optional<int> number = partitionNumber(QByteArrayView(path).sliced(hash + 1));
        if (!number) {
            return Failed{QStringLiteral("--drive %1=%2: partisjonsnummeret må være 1 til 4")
                              .arg(argument.letter, QFile::decodeName(path))};
        }
        partition = *number;
        image = path.left(hash);
    }
    if (!isFile(image)) {
        return Failed{QStringLiteral("--drive %1: %2 er verken en mappe eller et diskbilde")
                          .arg(argument.letter, QFile::decodeName(path))};
    }
    Result<std::shared_ptr<ImageDrive>> drive = ImageDrive::open(image, partition);
    if (!drive)
        return Failed{drive.reason()};
    return std::shared_ptr<Drive>(std::move(drive).value());
}

} // namespace

Result<DriveMap> openDrives(const QList<CommandLine::DriveArgument> &arguments)
{
    DriveMap drives;
    for (const CommandLine::DriveArgument &argument : arguments) {
        Result<std::shared_ptr<Drive>> drive = openDrive(argument);
        if (!drive)
            return Failed{drive.reason()};
        drives.setDrive(argument.letter, std::move(drive).value());
    }
    return drives;
}
