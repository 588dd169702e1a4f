#pragma once

#include <QByteArrayView>

class LineList;

// Jumping from a section header to its lines.
namespace sectionnavigation {

// The first line of the full list that equals the header exactly, or -1.
int findHeader(const LineList &full, QByteArrayView header);

enum class Scrolling {
    Plain,     // select the header
    LookAhead, // select 15 lines below it first, so the section comes into view
};

// Selects the header chosen in the section list in the full list. With no
// header chosen, or none found, nothing changes.
void goToSection(const LineList &sections, LineList &full, Scrolling scrolling);

constexpr int kLookAhead = 15;

} // namespace sectionnavigation
