#include "editing/lineeditrouting.h"

#include "drives/ansitext.h"

#include <QByteArray>

#include <utility>

std::optional<OptionBox> optionForLine(QByteArrayView line)
{
    static const std::pair<const char *, OptionBox> kWords[] = {
        {"BOOTDELAY", OptionBox::BD}, {"NETWORK", OptionBox::NW},
        {"BOOTMULTI", OptionBox::BM}, {"BOOTGUI", OptionBox::BGUI},
        {"DOUBLEBUFFER", OptionBox::DB},
    };
    const QByteArray upper = ansi::upper(line.toByteArray());
    for (const auto &[word, box] : kWords) {
        if (upper.contains(word))
            return box;
    }
    return std::nullopt;
}
