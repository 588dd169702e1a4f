#include "app/driveoption.h"

#include "drives/directorydrive.h"
#include "drives/imagedrive.h"
#include "drives/machineletters.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>

#include <sys/stat.h>

namespace {

// The partition of "IMAGE#N": 1 to 4 for a primary one, 5 and up for the
// logical drives in chain order (as Linux numbers them); digits only.
std::optional<int> partitionNumber(QByteArrayView suffix)
{
    if (suffix.isEmpty() || suffix.size() > 2 || suffix[0] == '0')
        return std::nullopt;
    int number = 0;
    for (char c : suffix) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
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
            return Failed{QCoreApplication::translate("CommandLine", "--drive %1=%2: partisjonsnummeret må være 1 til 4, eller 5 og høyere for logiske stasjoner")
                              .arg(argument.letter, QFile::decodeName(path))};
        }
        partition = *number;
        image = path.left(hash);
    }
    if (!isFile(image)) {
        return Failed{QCoreApplication::translate("CommandLine", "--drive %1: %2 er verken en mappe eller et diskbilde")
                          .arg(argument.letter, QFile::decodeName(path))};
    }
    Result<std::shared_ptr<ImageDrive>> drive = ImageDrive::open(image, partition);
    if (!drive)
        return Failed{drive.reason()};
    return std::shared_ptr<Drive>(std::move(drive).value());
}

} // namespace

Result<DriveMap> openDrives(const QList<CommandLine::DriveArgument> &arguments, const QList<QByteArray> &disks)
{
    DriveMap drives;
    const Result<QList<machineletters::LetteredDrive>> lettered = machineletters::letter(disks);
    if (!lettered)
        return lettered.failure();
    for (const machineletters::LetteredDrive &d : *lettered) {
        // A --drive of the same letter wins.
        if (std::any_of(arguments.cbegin(), arguments.cend(),
                        [&d](const CommandLine::DriveArgument &a) { return a.letter == d.letter; }))
            continue;
        if (d.isFolder()) {
            drives.setDrive(d.letter, std::make_shared<DirectoryDrive>(d.disk));
            continue;
        }
        Result<std::shared_ptr<ImageDrive>> drive = ImageDrive::open(d.image, d.partition);
        if (!drive)
            return drive.failure();
        drives.setDrive(d.letter, std::move(drive).value());
    }
    for (const CommandLine::DriveArgument &argument : arguments) {
        Result<std::shared_ptr<Drive>> drive = openDrive(argument);
        if (!drive)
            return Failed{drive.reason()};
        drives.setDrive(argument.letter, std::move(drive).value());
    }
    return drives;
}
