#include "audit/inirules.h"

#include "audit/linewords.h"

using namespace linewords;

namespace {
constexpr Stops kCommas(",");
}

QList<QByteArrayView> IniRules::step(QByteArrayView line)
{
    QList<QByteArrayView> names;
    const QByteArrayView text = trimLeft(line);
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        const QByteArrayView name = trimmed(close < 0 ? text.sliced(1) : text.sliced(1, close - 1));
        if (m_kind == Kind::SystemIni && equalsUpper(name, "BOOT"))
            m_section = Section::Boot;
        else if (m_kind == Kind::SystemIni && equalsUpper(name, "DRIVERS"))
            m_section = Section::Drivers;
        else if (m_kind == Kind::SystemIni && equalsUpper(name, "386ENH"))
            m_section = Section::Enhanced;
        else if (m_kind == Kind::WinIni && equalsUpper(name, "WINDOWS"))
            m_section = Section::Windows;
        else
            m_section = Section::Other;
        return names;
    }
    QByteArrayView key, value;
    if (m_section == Section::Other || text.startsWith(';') || !splitKeyValue(text, &key, &value))
        return names;
    if (m_section == Section::Windows) {
        if (equalsUpper(key, "LOAD") || equalsUpper(key, "RUN"))
            names = words(value, kCommas);
    } else {
        systemIni(key, value, names);
    }
    return names;
}

void IniRules::systemIni(QByteArrayView key, QByteArrayView value, QList<QByteArrayView> &names) const
{
    const auto files = [&names](const QList<QByteArrayView> &listed) {
        for (const QByteArrayView name : listed) {
            if (!name.isEmpty() && !name.startsWith('*')) // "*vshare": built into VMM32
                names.append(name);
        }
    };
    switch (m_section) {
    case Section::Boot:
        if (equalsUpper(key, "DRIVERS")) {
            // A name without an extension ("timer") is an alias that
            // [drivers] turns into a file; that line is audited instead.
            for (const QByteArrayView name : words(value, kCommas)) {
                if (name.contains('.'))
                    names.append(name);
            }
            return;
        }
        // The shell, the grabbers and every module a key of its own names:
        // user.exe=, gdi.exe=, system.drv=, fonts.fon=, ...
        if (equalsUpper(key, "SHELL") || equalsUpper(key, "386GRABBER") || equalsUpper(key, "286GRABBER")
            || endsWithUpper(key, ".DRV") || endsWithUpper(key, ".FON") || endsWithUpper(key, ".EXE")
            || endsWithUpper(key, ".DLL"))
            files({firstWord(value, kCommas)});
        return;
    case Section::Drivers:
        files({firstWord(value, kCommas)});
        return;
    case Section::Enhanced:
        if (equalsUpper(key, "DEVICE"))
            files({firstWord(value, kCommas)});
        else if (equalsUpper(key, "MOUSE") || equalsUpper(key, "KEYBOARD") || equalsUpper(key, "DISPLAY")
                 || equalsUpper(key, "EBIOS") || equalsUpper(key, "NETWORK"))
            files(words(value, kCommas));
        return;
    case Section::Windows:
    case Section::Other:
        return;
    }
}
