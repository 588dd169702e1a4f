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
    if (m_section == Section::Boot) {
        if (equalsUpper(key, "DRIVERS")) {
            names = words(value, kCommas);
            return;
        }
        if (!equalsUpper(key, "SHELL") && !endsWithUpper(key, ".DRV") && !endsWithUpper(key, ".FON"))
            return;
    } else if (!equalsUpper(key, "DEVICE")) {
        return;
    }
    const QByteArrayView name = firstWord(value, kCommas);
    if (!name.isEmpty() && !name.startsWith('*'))
        names.append(name);
}
