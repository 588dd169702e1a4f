#include "app/driveoption.h"

#include "loading/directorydrive.h"
#include "loading/imagedrive.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The partition of "IMAGE#N": only "#1" to "#4", nothing else after the "#".
std::optional<int> partitionNumber(QByteArrayView suffix)
{
    if (suffix.size() == 1 && suffix[0] >= '1' && suffix[0] <= '4')
        return suffix[0] - '0';
    return std::nullopt;
}

Result<std::shared_ptr<Drive>> openDrive(const CommandLine::DriveArgument &argument)
{
    const QString path = QFile::decodeName(argument.location);
    if (QFileInfo(path).isDir())
        return std::shared_ptr<Drive>(std::make_shared<DirectoryDrive>(path));
    QString image = path;
    int partition = 0;
    const qsizetype hash = argument.location.lastIndexOf('#');
    if (hash > 0 && !QFileInfo(path).isFile()) {
        const std::optional<int> number = partitionNumber(QByteArrayView(argument.location).sliced(hash + 1));
        if (!number) {
            return Failed{QStringLiteral("--drive %1=%2: partisjonsnummeret må være 1 til 4")
                              .arg(argument.letter, QString::fromUtf8(argument.location))};
        }
        partition = *number;
        image = QFile::decodeName(argument.location.left(hash));
    }
    if (!QFileInfo(image).isFile()) {
        return Failed{QStringLiteral("--drive %1: %2 er verken en mappe eller et diskbilde")
                          .arg(argument.letter, QString::fromUtf8(argument.location))};
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
