#include "app/commandline.h"
#include "app/driveoption.h"
#include "app/headless.h"
#include "app/vendralapplication.h"
#include "widgets/msdosform.h"
#include "widgets/programlauncher.h"
#include "widgets/rediger.h"

#include <QCoreApplication>

namespace {

// The arguments as the system passed them: bytes, in the file system's own
// encoding.
QList<QByteArray> argumentsOf(int argc, char **argv)
{
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    const Result<CommandLine> options = CommandLine::parse(argumentsOf(argc, argv));
    if (!options)
        return headless::refuse(options.reason());
    if (options->mode != CommandLine::Mode::Window) {
        QCoreApplication app(argc, argv);
        return headless::run(*options);
    }

    const Result<DriveMap> drives = openDrives(options->drives, options->disks);
    if (!drives)
        return headless::refuse(drives.reason());
    VendralApplication app(argc, argv);
    TMsDosForm MsDosForm(*drives);
    TEndreForm EndreForm(
        *drives, [&drives](const QByteArray &runPath) { openProgram(runPath, *drives); }, &MsDosForm);
    MsDosForm.setEditDialog(&EndreForm);
    MsDosForm.show();
    return app.exec();
}
