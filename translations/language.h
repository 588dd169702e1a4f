#pragma once

#include <QByteArrayView>
#include <QStringList>

#include <optional>

// The interface's languages: Norwegian, in which every text is written (what
// a Norwegian and a C/POSIX locale show), and English, from a catalogue.
enum class Language { Norwegian, English };

// The language --lang names: "nb" or "en".
std::optional<Language> languageNamed(QByteArrayView name);

// The language for a user who reads `uiLanguages`, most preferred first (as
// QLocale::uiLanguages() gives them from LANGUAGE and LANG). The first that
// the program can show wins: Norwegian Bokmål, Nynorsk, Danish and Swedish
// readers get Norwegian, English readers English. A C/POSIX locale (or none)
// is Norwegian; a list of other languages only is English.
Language languageFor(const QStringList &uiLanguages);

// The user's language, from the system's locale.
Language systemLanguage();

// Shows every later text in `language`, in place of the language used so far.
// Needs the application object.
void useLanguage(Language language);
