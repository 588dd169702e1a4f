#include "app/commandline.h"

#include "drives/ansitext.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <iterator>

namespace {

// Every mode but the window: its option, the value it takes and what it does.
// The usage text and the one-mode error are made from this list.
struct ModeOption
{
    CommandLine::Mode mode;
    const char *option;
    const char *value; // nullptr when the option takes none
    const char *help;
    bool inSynopsis;   // a command of its own, shown in the usage's first line
};

const ModeOption kModes[] = {
    {CommandLine::Mode::Report, "--report", nullptr, QT_TRANSLATE_NOOP("CommandLine", "les de fem oppstartsfilene og skriv dem ut som JSON"), true},
    {CommandLine::Mode::Check, "--check", QT_TRANSLATE_NOOP("CommandLine", "LINJE"), QT_TRANSLATE_NOOP("CommandLine", "sjekk om filen linjen nevner finnes, som JSON"), true},
    {CommandLine::Mode::Audit, "--audit", nullptr,
     QT_TRANSLATE_NOOP("CommandLine", "finn filene oppstarten laster som ikke finnes på stasjonen, én linje for hver"),
     true},
    {CommandLine::Mode::Help, "--help", nullptr, QT_TRANSLATE_NOOP("CommandLine", "vis denne hjelpen"), false},
    {CommandLine::Mode::Version, "--version", nullptr, QT_TRANSLATE_NOOP("CommandLine", "vis versjonen"), false},
};

QString optionWithValue(const char *option, const char *value)
{
    return value ? QStringLiteral("%1 %2").arg(QLatin1String(option), QCoreApplication::translate("CommandLine", value))
                 : QLatin1String(option);
}

QString oneModeOnly()
{
    QStringList options;
    for (const ModeOption &m : kModes)
        options.append(QLatin1String(m.option));
    const QString last = options.takeLast();
    return QCoreApplication::translate("CommandLine", "bare én av %1 og %2").arg(options.join(QStringLiteral(", ")), last);
}

QString shown(const QByteArray &argument) { return QString::fromUtf8(argument); }

// Qt's own options, which every Qt program accepts (QGuiApplication and
// QApplication take them out of the arguments): whether each takes a value.
struct QtOption
{
    const char *name;
    bool takesValue;
};

const QtOption kQtOptions[] = {
    {"-platform", true},  {"-platformpluginpath", true}, {"-platformtheme", true}, {"-plugin", true},
    {"-qmljsdebugger", true}, {"-qwindowgeometry", true}, {"-geometry", true}, {"-qwindowicon", true},
    {"-icon", true},      {"-qwindowtitle", true},       {"-title", true},         {"-display", true},
    {"-name", true},      {"-session", true},            {"-style", true},         {"-stylesheet", true},
    {"-reverse", false},  {"-widgetcount", false},       {"-nograb", false},       {"-dograb", false},
    {"-sync", false},     {"-testability", false},
};

// The Qt option `arg` is, "-style", "--style" and "-style=Fusion" alike.
const QtOption *qtOption(const QByteArray &arg)
{
    QByteArray name = arg.startsWith("--") ? arg.mid(1) : arg;
    const qsizetype equals = name.indexOf('=');
    if (equals > 0)
        name.truncate(equals);
    for (const QtOption &o : kQtOptions) {
        if (name == o.name)
            return &o;
    }
    return nullptr;
}

} // namespace

Result<CommandLine> CommandLine::parse(const QList<QByteArray> &arguments)
{
    CommandLine result;
    bool modeSet = false;
    bool optionsEnded = false; // after "--" every argument is a disk
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray &arg = arguments[i];
        // A disk of the machine: a folder or an image, in the order of the
        // machine's disks.
        if (optionsEnded || (!arg.isEmpty() && !arg.startsWith('-'))) {
            result.disks.append(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (const QtOption *qt = qtOption(arg)) {
            // Qt's own: Qt reads it (and its value); it is never a disk.
            if (qt->takesValue && !arg.contains('=') && i + 1 < arguments.size())
                ++i;
            continue;
        }
        // "--name=value" or "--name value".
        const auto value = [&](const char *name) -> std::optional<QByteArray> {
            const QByteArray prefix = QByteArray(name).append('=');
            if (arg.startsWith(prefix))
                return arg.mid(prefix.size());
            if (arg == name && i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (arg == "--drive" || arg.startsWith("--drive=")) {
            const std::optional<QByteArray> drive = value("--drive");
            if (!drive)
                return Failed{QCoreApplication::translate("CommandLine", "--drive trenger X=MAPPE eller X=BILDE")};
            const char letter = drive->isEmpty() ? 0 : ansi::upperByte((*drive)[0]);
            if (drive->size() < 3 || drive->at(1) != '=' || letter < 'A' || letter > 'Z')
                return Failed{QCoreApplication::translate("CommandLine", "--drive %1: ventet X=MAPPE eller X=BILDE, for eksempel C=/mnt/win98").arg(shown(*drive))};
            for (const DriveArgument &earlier : std::as_const(result.drives)) {
                if (earlier.letter == QLatin1Char(letter))
                    return Failed{QCoreApplication::translate("CommandLine", "--drive %1: er gitt mer enn én gang").arg(QLatin1Char(letter))};
            }
            result.drives.append({QLatin1Char(letter), drive->mid(2)});
            continue;
        }
        if (arg == "--lang" || arg.startsWith("--lang=")) {
            const std::optional<QByteArray> name = value("--lang");
            result.language = name ? languageNamed(*name) : std::nullopt;
            if (!result.language)
                return Failed{QCoreApplication::translate("CommandLine", "--lang trenger nb (norsk) eller en (engelsk)")};
            continue;
        }
        const ModeOption *mode = nullptr;
        for (const ModeOption &m : kModes) {
            if (arg == m.option || (m.value && arg.startsWith(QByteArray(QByteArray(m.option) + '='))))
                mode = &m;
        }
        if (arg == "--json") {
            result.json = true;
            continue;
        }
        if (!mode && arg == "-h") {
            mode = std::find_if(std::begin(kModes), std::end(kModes),
                                [](const ModeOption &m) { return m.mode == Mode::Help; });
        }
        if (!mode)
            return Failed{QCoreApplication::translate("CommandLine", "ukjent argument: %1 (se --help)").arg(shown(arg))};
        std::optional<QByteArray> modeValue;
        if (mode->value) {
            modeValue = value(mode->option);
            if (!modeValue)
                return Failed{QCoreApplication::translate("CommandLine", "%1 trenger en linje").arg(QLatin1String(mode->option))};
        }
        if (modeSet && !(mode->mode == Mode::Help || mode->mode == Mode::Version))
            return Failed{oneModeOnly()};
        if (modeSet)
            continue; // --help and --version give way to the mode already named
        result.mode = mode->mode;
        modeSet = true;
        if (mode->mode == Mode::Check)
            result.checkLine = ansi::encode(QString::fromUtf8(*modeValue));
    }
    if (result.json && result.mode != Mode::Audit && result.mode != Mode::Help && result.mode != Mode::Version)
        return Failed{QCoreApplication::translate("CommandLine", "--json gjelder bare --audit")};
    return result;
}

QString CommandLine::usage()
{
    QStringList synopsis;
    QString options = QStringLiteral("  %1 %2\n                   %3\n")
                          .arg(QCoreApplication::translate("CommandLine", "--drive X=STED").leftJustified(16),
                               QCoreApplication::translate("CommandLine", "stasjon X: er denne mappen, eller diskbildet (BILDE eller BILDE#N"),
                               QCoreApplication::translate("CommandLine", "for partisjon N), lest med mtools; kan gjentas"));
    for (const ModeOption &m : kModes) {
        if (m.inSynopsis)
            synopsis.append(optionWithValue(m.option, m.value));
        options += QStringLiteral("  %1 %2\n").arg(optionWithValue(m.option, m.value).leftJustified(16),
                                                   QCoreApplication::translate("CommandLine", m.help));
        if (m.mode == Mode::Audit)
            options += QStringLiteral("  %1 %2\n").arg(QStringLiteral("--json").leftJustified(16),
                                                       QCoreApplication::translate("CommandLine", "med --audit: skriv funnene som JSON"));
    }
    options += QStringLiteral("  %1 %2\n").arg(QStringLiteral("--lang nb|en").leftJustified(16),
                                               QCoreApplication::translate("CommandLine", "vis vinduet og teksten på norsk eller engelsk"));
    return QCoreApplication::translate("CommandLine", "Bruk: vendral [--drive X=STED]... [--lang nb|en] [%1] [STED]...\n"
                          "Viser oppstartsoppsettet til en Windows 95/98-PC. Ingen fil blir skrevet.\n"
                          "\n"
                          "Hvert STED er en disk i PC-en, i rekkefølge: en mappe eller et diskbilde.\n"
                          "Stasjonene får bokstaver slik DOS gir dem: C: er den aktive FAT-partisjonen\n"
                          "på disk 1, så den første på hver av de andre diskene, så de logiske\n"
                          "stasjonene disk for disk, så resten av de primære. --drive vinner over dette.\n"
                          "\n")
               .arg(synopsis.join(QStringLiteral(" | ")))
           + options;
}

std::optional<Language> CommandLine::languageAsked(const QList<QByteArray> &arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray &arg = arguments[i];
        if (arg == "--")
            break;
        if (arg.startsWith("--lang="))
            return languageNamed(QByteArrayView(arg).sliced(7));
        if (arg == "--lang" && i + 1 < arguments.size())
            return languageNamed(arguments[i + 1]);
    }
    return std::nullopt;
}
