#include "editing/fixrule.h"

#include "drives/ansitext.h"

std::optional<QByteArray> fixedLine(QByteArrayView original)
{
    const QByteArray u = ansi::upper(original.toByteArray());
    std::optional<QByteArray> fixed;
    if (u.contains("COUNTRY="))
        fixed = QByteArrayLiteral("Country=047,850,c:\\windows\\command\\country.sys");
    if (u.contains("DEVICE=") && u.contains("DISPLAY.SYS"))
        fixed = QByteArrayLiteral("Device=c:\\windows\\command\\display.sys con=(ega,,1)");
    return fixed;
}
