#include "drives/dospath.h"

#include "drives/ansitext.h"

DosPath DosPath::parse(QByteArrayView path)
{
    DosPath result;
    result.drive = QLatin1Char(kBootDrive);
    if (path.size() >= 2 && path[1] == ':' && QChar::isLetter(static_cast<unsigned char>(path[0]))
        && static_cast<unsigned char>(path[0]) < 0x80) {
        result.drive = QChar(QLatin1Char(path[0])).toUpper();
        path = path.sliced(2);
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/')
            continue;
        QByteArrayView part = path.sliced(start, i - start);
        start = i + 1;
        if (part == "..") {
            if (!result.components.isEmpty())
                result.components.removeLast();
            continue;
        }
        while (!part.isEmpty() && (part.back() == ' ' || part.back() == '.'))
            part.chop(1);
        if (!part.isEmpty())
            result.components.append(ansi::decode(part));
    }
    return result;
}

QString DosPath::display() const
{
    return QString(drive) + QStringLiteral(":\\") + components.join(QLatin1Char('\\'));
}
