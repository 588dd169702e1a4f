#include "app/commandline.h"
#include "app/driveoption.h"
#include "app/headless.h"
#include "app/vendralapplication.h"
#include "drives/boundedprocess.h"
#include "translations/language.h"
#include "widgets/failurereport.h"
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
    const QList<QByteArray> arguments = argumentsOf(argc, argv);
    const Result<CommandLine> options = CommandLine::parse(arguments);
    if (!options) {
        // Said again once the user's language is in place.
        QCoreApplication app(argc, argv);
        useLanguage(CommandLine::languageAsked(arguments).value_or(systemLanguage()));
        return headless::refuse(CommandLine::parse(arguments).reason());
    }
    const Language language = options->language.value_or(systemLanguage());
    if (options->mode != CommandLine::Mode::Window) {
        QCoreApplication app(argc, argv);
        // JSON keeps its Norwegian messages whatever the language, so scripts
        // read the same words everywhere; the rest is the user's language.
        if (!options->machineReadable())
            useLanguage(language);
        // Only a report and an audit read hives and shortcuts.
        if (options->mode == CommandLine::Mode::Report || options->mode == CommandLine::Mode::Audit)
            startCopyMaker();
        return headless::run(*options);
    }

    // The application first: it takes Qt's own options, and a drive that
    // cannot be opened is shown where a user started from the desktop looks,
    // in a box, as well as on standard error.
    VendralApplication app(argc, argv);
    useLanguage(language);
    startCopyMaker();
    Result<DriveMap> drives = openDrives(options->drives, options->disks);
    if (!drives) {
        const int status = headless::refuse(drives.reason());
        failurereport::report(drives.reason());
        return status;
    }
    TMsDosForm MsDosForm(*drives);
    // Another machine, dropped on the window, takes the place of this one's
    // disks; the --drive letters stay.
    MsDosForm.setMachineOpener([&drives, &options](const QList<QByteArray> &disks) -> Result<bool> {
        Result<DriveMap> next = openDrives(options->drives, disks);
        if (!next) {
            headless::refuse(next.reason());
            return next.failure();
        }
        drives.value() = std::move(next).value();
        return true;
    });
    MsDosForm.setEditDialogMaker([&drives, &MsDosForm] {
        return new TEndreForm(
            *drives, [&drives](const QByteArray &runPath) { openProgram(runPath, *drives); }, &MsDosForm);
    });
    MsDosForm.show();
    return app.exec();
}
