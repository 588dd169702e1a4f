#include "loading/sectionnavigation.h"

#include "loading/linelist.h"

#include <algorithm>

namespace sectionnavigation {

int findHeader(const LineList &full, QByteArrayView header)
{
    const int n = full.count();
    for (int i = 0; i < n; ++i) {
        if (full.lineView(i) == header)
            return i;
    }
    return -1;
}

void goToSection(const LineList &sections, LineList &full, Scrolling scrolling)
{
    const int chosen = sections.selectedIndex();
    if (chosen < 0)
        return;
    const int i = findHeader(full, sections.lineView(chosen));
    if (i < 0)
        return;
    if (scrolling == Scrolling::LookAhead) {
        // Selecting the later line first and then the header means that when
        // the list scrolls down, the header arrives with the lines below it.
        const int t = std::min(i + kLookAhead, full.count() - 1);
        full.setSelectedIndex(t);
    }
    full.setSelectedIndex(i);
}

} // namespace sectionnavigation
