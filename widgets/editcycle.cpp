#include "widgets/editcycle.h"

#include "loading/linelist.h"
#include "widgets/rediger.h"

void runEditCycle(LineList &list, TEndreForm &dialog)
{
    const int index = list.selectedIndex();
    const QByteArray line = list.line(index);
    dialog.setOriginalText(line);
    dialog.setNyText(line);
    if (dialog.exec() == QDialog::Accepted)
        list.setLine(index, dialog.nyText());
}
