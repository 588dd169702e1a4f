#include "drives/vmdkdescriptor.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace vmdkdescriptor {
namespace {

// Past this the sizes are no disk's (16 TiB in sectors).
constexpr qint64 kMostSectors = qint64(1) << 35;
constexpr QByteArrayView kHint = "parentFileNameHint";

// Marks where the rewritten text gets an extent line.
constexpr char kExtentMark = '\x01';

bool hasControlCharacters(QByteArrayView line)
{
    for (char c : line) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)
            return true;
    }
    return false;
}

QByteArrayView firstToken(QByteArrayView line)
{
    const QByteArrayView t = line.trimmed();
    qsizetype end = 0;
    while (end < t.size() && t[end] != ' ' && t[end] != '\t')
        ++end;
    return t.first(end);
}

} // namespace

Result<Descriptor> parse(QByteArrayView text, const QString &imageName)
{
    static const QRegularExpression extentLine(
        QStringLiteral("^[ \\t]*RW[ \\t]+(\\d{1,12})[ \\t]+(FLAT|VMFS|SPARSE)[ \\t]+\"([^\"]+)\"(?:[ \\t]+(\\d{1,12}))?[ \\t]*$"));
    static const QRegularExpression hintLine(QStringLiteral("^[ \\t]*parentFileNameHint=\"([^\"]*)\"[ \\t]*$"));
    static const QRegularExpression setting(
        QStringLiteral("^[ \\t]*([A-Za-z][A-Za-z0-9_.]*)[ \\t]*=[ \\t]*(?:\"([^\"]*)\"|([^\"\\s]*))[ \\t]*$"));

    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text = text.first(nul);
    Descriptor d;
    int lineNumber = 0;
    const auto unknown = [&imageName, &lineNumber]() {
        return Failed{QCoreApplication::translate("drives", "linje %1 i VMDK-beskrivelsen til %2 er ukjent for vendral, som derfor ikke leser "
                                     "bildet")
                          .arg(lineNumber)
                          .arg(imageName)};
    };
    bool hintSeen = false;
    for (QByteArray line : text.toByteArray().split('\n')) {
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (hasControlCharacters(line))
            return unknown();
        const QString l = QString::fromLatin1(line);
        if (line.contains(kHint)) {
            const QRegularExpressionMatch m = hintLine.match(l);
            if (!m.hasMatch() || hintSeen)
                return unknown();
            hintSeen = true;
            d.parentHint = line.mid(m.capturedStart(1), m.capturedLength(1));
            continue;
        }
        const QByteArrayView first = firstToken(line);
        if (first.isEmpty() || first.startsWith('#')) {
            d.lines.append(line);
            continue;
        }
        if (first == "RW" || first == "RDONLY" || first == "NOACCESS") {
            const QRegularExpressionMatch m = extentLine.match(l);
            if (!m.hasMatch())
                return unknown();
            Extent e;
            e.sectors = m.captured(1).toLongLong();
            e.type = m.captured(2).toLatin1();
            e.file = line.mid(m.capturedStart(3), m.capturedLength(3));
            const bool hasOffset = m.capturedLength(4) > 0;
            if (e.type == "FLAT" && !hasOffset)
                return unknown();
            if (e.type != "FLAT" && hasOffset)
                return unknown();
            e.offset = hasOffset ? m.captured(4).toLongLong() : 0;
            if (e.sectors <= 0 || e.offset > kMostSectors)
                return unknown();
            d.sectors += e.sectors;
            if (d.sectors > kMostSectors)
                return unknown();
            d.extents.append(e);
            d.lines.append(QByteArray(1, kExtentMark));
            continue;
        }
        const QRegularExpressionMatch m = setting.match(l);
        if (!m.hasMatch())
            return unknown();
        if (m.captured(1) == QLatin1String("CID"))
            d.cid = m.captured(2).isEmpty() ? m.captured(3).toLatin1() : m.captured(2).toLatin1();
        else if (m.captured(1) == QLatin1String("parentCID"))
            d.parentCid = m.captured(2).isEmpty() ? m.captured(3).toLatin1() : m.captured(2).toLatin1();
        d.lines.append(line);
    }
    return d;
}

QByteArray rewritten(const Descriptor &descriptor, const QList<QByteArray> &paths)
{
    QByteArray text;
    qsizetype extent = 0;
    for (const QByteArray &line : descriptor.lines) {
        if (line.size() == 1 && line[0] == kExtentMark) {
            const Extent &e = descriptor.extents[extent];
            text += "RW " + QByteArray::number(e.sectors) + ' ' + e.type + " \"" + paths.value(extent) + '"';
            if (e.type == "FLAT")
                text += ' ' + QByteArray::number(e.offset);
            ++extent;
        } else {
            text += line;
        }
        text += '\n';
    }
    return text;
}

} // namespace vmdkdescriptor
