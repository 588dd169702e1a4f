#include "app/commandline.h"
#include "loading/directorydrive.h"
#include "loading/drivemap.h"
#include "app/headless.h"
#include "loading/imagedrive.h"
#include "app/msdosform.h"
#include "editing/rediger.h"
#include "app/vendralapplication.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QString error;
    const std::optional<CommandLine> options = CommandLine::parse(argumentsOf(argc, argv), &error);
    if (!options) {
        printLine(stderr, QStringLiteral("vendral: ") + error);
        return 2;
    }
    switch (options->mode) {
    case CommandLine::Mode::Help:
        std::fputs(CommandLine::usage().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Mode::Version:
        printLine(stdout, QStringLiteral("vendral " VENDRAL_VERSION));
        return 0;
    default:
        break;
    }

    DriveMap drives;
    for (const CommandLine::DriveArgument &d : options->drives) {
        if (!d.image) {
            drives.setDrive(d.letter, std::make_shared<DirectoryDrive>(d.path));
            continue;
        }
        std::shared_ptr<ImageDrive> image = ImageDrive::open(d.path, d.partition, &error);
        if (!image) {
            printLine(stderr, QStringLiteral("vendral: ") + error);
            return 2;
        }
        drives.setDrive(d.letter, std::move(image));
    }

    if (options->mode == CommandLine::Mode::Report || options->mode == CommandLine::Mode::Check) {
        QCoreApplication app(argc, argv);
        return options->mode == CommandLine::Mode::Report
                   ? headless::runReport(drives)
                   : headless::runCheck(options->checkLine, drives);
    }

    VendralApplication app(argc, argv);
    TMsDosForm MsDosForm(drives);
    TEndreForm EndreForm(drives, &MsDosForm);
    MsDosForm.setEditDialog(&EndreForm);
    MsDosForm.show();
    return app.exec();
}
