#pragma once

#include <QByteArrayView>
#include <QList>

// The files the lines of SYSTEM.INI and WIN.INI make Windows load, read one
// line after another so each key is taken in the section it stands in.
// Section names and keys compare without regard to case.
class IniRules
{
public:
    enum class Kind { SystemIni, WinIni };
    explicit IniRules(Kind kind) : m_kind(kind) {}

    // SYSTEM.INI: [boot] shell=, the grabbers, each file of drivers= (an
    // alias is audited where [drivers] names its file), every *.drv=,
    // *.fon=, *.exe= and *.dll=; [drivers] each file; [386Enh] device=,
    // mouse=, keyboard=, display=, ebios= and network=, each file of their
    // lists unless it names a built-in "*device".
    // WIN.INI: [windows] load= and run=, each program of the list.
    QList<QByteArrayView> step(QByteArrayView line);

    // True for a line that can name no file and changes no section: most
    // lines of a large file, which are passed over without a closer look.
    bool passesOver(QByteArrayView line) const
    {
        if (m_section != Section::Other)
            return false;
        for (const char c : line) {
            if (c != ' ' && c != '\t')
                return c != '[';
        }
        return true;
    }

private:
    enum class Section { Other, Boot, Drivers, Enhanced, Windows };

    void systemIni(QByteArrayView key, QByteArrayView value, QList<QByteArrayView> &names) const;

    Kind m_kind;
    Section m_section = Section::Other;
};
