#include "app/commandline.h"

#include "loading/ansitext.h"

#include <QFileInfo>

std::optional<CommandLine> CommandLine::parse(const QStringList &arguments, QString *error)
{
    CommandLine result;
    const auto fail = [error](const QString &message) {
        *error = message;
        return std::nullopt;
    };
    bool modeSet = false;
    const auto setMode = [&](Mode mode) {
        if (modeSet)
            return false;
        result.mode = mode;
        modeSet = true;
        return true;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        const auto value = [&](const QString &name) -> std::optional<QString> {
            if (arg.startsWith(name + QLatin1Char('=')))
                return arg.mid(name.size() + 1);
            if (arg == name && i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (arg == QLatin1String("--drive") || arg.startsWith(QLatin1String("--drive="))) {
            const std::optional<QString> driveValue = value(QStringLiteral("--drive"));
            if (!driveValue)
                return fail(QStringLiteral("--drive trenger X=MAPPE eller X=BILDE"));
            const QChar letter = driveValue->isEmpty() ? QChar() : driveValue->at(0).toUpper();
            if (driveValue->size() < 3 || driveValue->at(1) != QLatin1Char('=') || letter < QLatin1Char('A')
                || letter > QLatin1Char('Z'))
                return fail(QStringLiteral("--drive %1: ventet X=MAPPE eller X=BILDE, for eksempel C=/mnt/win98").arg(*driveValue));
            const QString path = driveValue->mid(2);
            if (QFileInfo(path).isDir()) {
                result.drives.append({letter, path, false, 0});
                continue;
            }
            // IMAGE#N names partition N of a disk image.
            QString image = path;
            int partition = 0;
            const qsizetype hash = path.lastIndexOf(QLatin1Char('#'));
            if (hash > 0 && !QFileInfo(path).isFile()) {
                bool number = false;
                partition = path.mid(hash + 1).toInt(&number);
                if (!number || partition < 1 || partition > 4)
                    return fail(QStringLiteral("--drive %1: partisjonsnummeret må være 1 til 4").arg(*driveValue));
                image = path.left(hash);
            }
            if (!QFileInfo(image).isFile())
                return fail(QStringLiteral("--drive %1: %2 er verken en mappe eller et diskbilde").arg(letter).arg(path));
            result.drives.append({letter, image, true, partition});
        } else if (arg == QLatin1String("--report")) {
            if (!setMode(Mode::Report))
                return fail(QStringLiteral("bare én av --report, --check, --help og --version"));
        } else if (arg == QLatin1String("--check") || arg.startsWith(QLatin1String("--check="))) {
            const std::optional<QString> line = value(QStringLiteral("--check"));
            if (!line)
                return fail(QStringLiteral("--check trenger en linje"));
            if (!setMode(Mode::Check))
                return fail(QStringLiteral("bare én av --report, --check, --help og --version"));
            result.checkLine = ansi::encode(*line);
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            setMode(Mode::Help);
        } else if (arg == QLatin1String("--version")) {
            setMode(Mode::Version);
        } else {
            return fail(QStringLiteral("ukjent argument: %1 (se --help)").arg(arg));
        }
    }
    return result;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "Bruk: vendral [--drive X=STED]... [--report | --check LINJE]\n"
        "Viser oppstartsoppsettet til en Windows 95/98-PC. Ingen fil blir skrevet.\n"
        "\n"
        "  --drive X=STED   stasjon X: er denne mappen, eller diskbildet (BILDE eller BILDE#N\n"
        "                   for partisjon N), lest med mtools; kan gjentas\n"
        "  --report         les de fem oppstartsfilene og skriv dem ut som JSON\n"
        "  --check LINJE    sjekk om filen linjen nevner finnes, som JSON\n"
        "  --help           vis denne hjelpen\n"
        "  --version        vis versjonen\n");
}
