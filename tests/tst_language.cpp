// The choice of language, and the English catalogue against the Norwegian
// texts it translates.
#include "translations/language.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

class LanguageTest : public QObject
{
    Q_OBJECT

private slots:
    void chosenFromTheUsersLanguages_data();
    void chosenFromTheUsersLanguages();
    void everyTranslationKeepsItsSource_data();
    void everyTranslationKeepsItsSource();
    void theCatalogueIsBuiltIn();
};

void LanguageTest::chosenFromTheUsersLanguages_data()
{
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<Language>("expected");
    QTest::newRow("Bokmål") << QStringList{"nb-NO", "nb-Latn-NO", "nb"} << Language::Norwegian;
    QTest::newRow("Nynorsk") << QStringList{"nn-NO"} << Language::Norwegian;
    QTest::newRow("no") << QStringList{"no"} << Language::Norwegian;
    QTest::newRow("Danish") << QStringList{"da-DK"} << Language::Norwegian;
    QTest::newRow("Swedish") << QStringList{"sv_SE"} << Language::Norwegian;
    QTest::newRow("C") << QStringList{"C"} << Language::Norwegian;
    QTest::newRow("POSIX") << QStringList{"POSIX"} << Language::Norwegian;
    QTest::newRow("none") << QStringList() << Language::Norwegian;
    QTest::newRow("English") << QStringList{"en-GB"} << Language::English;
    QTest::newRow("German") << QStringList{"de-DE", "de"} << Language::English;
    QTest::newRow("Japanese") << QStringList{"ja-JP"} << Language::English;
    QTest::newRow("German, then Norwegian") << QStringList{"de", "nb-NO"} << Language::Norwegian;
    QTest::newRow("Swedish, then English") << QStringList{"sv", "en"} << Language::Norwegian;
    QTest::newRow("English, then Danish") << QStringList{"en-US", "da"} << Language::English;
    QTest::newRow("Sami is no Norwegian") << QStringList{"se-NO"} << Language::English;
}

void LanguageTest::chosenFromTheUsersLanguages()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(Language, expected);
    QCOMPARE(languageFor(uiLanguages), expected);
}

// Every message of the catalogue is translated, names the same %1, %2 ...
// as its source, and has an access key (&) where its source has one.
void LanguageTest::everyTranslationKeepsItsSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<bool>("finished");
    QFile file(QStringLiteral(VENDRAL_CATALOGUE));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    int messages = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            QTest::addRow("%s: %s", qPrintable(context), qPrintable(source.left(60)))
                << source << xml.readElementText() << finished;
            ++messages;
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(messages > 100);
}

void LanguageTest::everyTranslationKeepsItsSource()
{
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QFETCH(bool, finished);
    QVERIFY(finished);
    QVERIFY(!translation.isEmpty());
    const auto markers = [](const QString &text) {
        static const QRegularExpression marker(QStringLiteral("%\\d"));
        QStringList found;
        for (const QRegularExpressionMatch &m : marker.globalMatch(text))
            found.append(m.captured());
        found.sort();
        return found;
    };
    QCOMPARE(markers(translation), markers(source));
    QCOMPARE(translation.count(QLatin1Char('&')), source.count(QLatin1Char('&')));
    QCOMPARE(translation.endsWith(QLatin1Char('\n')), source.endsWith(QLatin1Char('\n')));
}

void LanguageTest::theCatalogueIsBuiltIn()
{
    const char *source = "&Hent verdier";
    useLanguage(Language::English);
    QCOMPARE(QCoreApplication::translate("TMsDosForm", source), QStringLiteral("&Get values"));
    useLanguage(Language::Norwegian);
    QCOMPARE(QCoreApplication::translate("TMsDosForm", source), QString::fromUtf8(source));
}

QTEST_GUILESS_MAIN(LanguageTest)
#include "tst_language.moc"
