#pragma once

#include <QByteArrayView>

#include <optional>

// A double-clicked MSDOS.SYS line that names one of these boot options is not
// edited as text: the window shows the option's check box instead.
enum class OptionBox { BD, NW, BM, BGUI, DB };

// The first option word, in the order BOOTDELAY, NETWORK, BOOTMULTI, BOOTGUI,
// DOUBLEBUFFER, that occurs anywhere in the upper-cased line (comments too).
std::optional<OptionBox> optionForLine(QByteArrayView line);
