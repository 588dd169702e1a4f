#include "translations/language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

std::optional<Language> languageNamed(QByteArrayView name)
{
    if (name == "nb")
        return Language::Norwegian;
    if (name == "en")
        return Language::English;
    return std::nullopt;
}

Language languageFor(const QStringList &uiLanguages)
{
    for (const QString &entry : uiLanguages) {
        const QString language = entry.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
        if (language == QLatin1String("c") || language == QLatin1String("posix"))
            return Language::Norwegian;
        for (const char *scandinavian : {"nb", "nn", "no", "da", "sv"}) {
            if (language == QLatin1String(scandinavian))
                return Language::Norwegian;
        }
        if (language == QLatin1String("en"))
            return Language::English;
    }
    return uiLanguages.isEmpty() ? Language::Norwegian : Language::English;
}

Language systemLanguage() { return languageFor(QLocale::system().uiLanguages()); }

void useLanguage(Language language)
{
    // Owned by the application, so it goes with it.
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    if (language == Language::Norwegian)
        return; // the texts as written
    auto *translator = new QTranslator(QCoreApplication::instance());
    // Built into the program; a catalogue that cannot be loaded is a build fault.
    if (!translator->load(QStringLiteral(":/i18n/vendral_en.qm")))
        qFatal("the English catalogue is missing from the program");
    QCoreApplication::installTranslator(translator);
    installed = translator;
}
