#include "drives/vhddifference.h"

#include "drives/byteorder.h"
#include "drives/relatedfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <QUrl>
#include <QtEndian>

namespace vhddifference {
namespace {

using byteorder::be32;
using byteorder::be64;

constexpr quint32 kUnallocated = 0xFFFFFFFF;
constexpr qint64 kLargestBlock = qint64(256) << 20;
constexpr quint32 kMostBlocks = 1u << 24;



QString directoryOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString utf16(QByteArrayView bytes, bool bigEndian)
{
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t c = bigEndian ? qFromBigEndian<quint16>(bytes.data() + i) : qFromLittleEndian<quint16>(bytes.data() + i);
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

QString baseName(const QString &path)
{
    return path.mid(qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
}

} // namespace

QStringList parentCandidates(const QString &childPath, QByteArrayView dyn,
                             const std::function<QByteArray(qint64, qint64)> &readAt)
{
    const QString dir = directoryOf(childPath);
    QStringList relative, absolute;
    for (int i = 0; i < 8; ++i) {
        const qsizetype at = 576 + 24 * i;
        const quint32 code = be32(dyn, at);
        const quint32 length = be32(dyn, at + 8);
        const quint64 offset = be64(dyn, at + 16);
        if (code == 0 || length == 0 || length > 4096 || offset > (quint64(1) << 50))
            continue;
        const QByteArray data = readAt(static_cast<qint64>(offset), length);
        QString path;
        switch (code) {
        case 0x57327275: // "W2ru": relative, UTF-16LE
        case 0x57326B75: // "W2ku": absolute, UTF-16LE
            path = utf16(data, false);
            break;
        case 0x57693272: // "Wi2r" and "Wi2k": the same in the ANSI code page
        case 0x5769326B:
            path = QString::fromLatin1(data.left(data.indexOf('\0') < 0 ? data.size() : data.indexOf('\0')));
            break;
        case 0x4D616358: // "MacX": a file URL
            path = QUrl(QString::fromUtf8(data).trimmed()).toLocalFile();
            break;
        default:
            continue;
        }
        if (path.isEmpty())
            continue;
        if (code == 0x57327275 || code == 0x57693272) {
            path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            while (path.startsWith(QLatin1String("./")))
                path.remove(0, 2);
            relative.append(dir + QLatin1Char('/') + path);
        } else if (path.startsWith(QLatin1Char('/'))) {
            absolute.append(path);
        } else {
            // Another machine's folder ("C:\VMs\base.vhd"): the parent has
            // moved with the child, if anywhere.
            absolute.append(dir + QLatin1Char('/') + baseName(path));
        }
    }
    const QString unicodeName = utf16(dyn.sliced(qMin<qsizetype>(64, dyn.size()), qMin<qsizetype>(512, qMax<qsizetype>(dyn.size() - 64, 0))), true);
    if (!unicodeName.isEmpty())
        absolute.append(dir + QLatin1Char('/') + baseName(unicodeName));
    QStringList all;
    for (const QString &c : relative + absolute) {
        if (!all.contains(c))
            all.append(c);
    }
    return all;
}

Result<DiskMap> map(std::shared_ptr<PinnedFile> child, qint64 size, const ParentMap &parentMap, int depth,
                    const QDeadlineTimer &deadline)
{
    const QString name = child->name();
    const Failed damaged{QCoreApplication::translate("drives", "%1 er et skadet eller avkortet differanse-VHD-bilde").arg(name)};
    const QByteArray footer = child->readAt(0, 512);
    const QByteArray dyn = child->readAt(static_cast<qint64>(qMin<quint64>(be64(footer, 16), quint64(1) << 50)), 1024);
    if (dyn.size() < 1024 || !dyn.startsWith("cxsparse"))
        return damaged;
    const quint64 tableOffset = be64(dyn, 16);
    const quint32 entries = be32(dyn, 28);
    const qint64 blockSize = be32(dyn, 32);
    if (blockSize < 512 || blockSize > kLargestBlock || (blockSize & (blockSize - 1)) != 0 || entries > kMostBlocks
        || tableOffset > (quint64(1) << 50))
        return damaged;

    // The parent: the first candidate that is the image the child was made from.
    const QByteArray parentId = dyn.mid(40, 16);
    const QStringList candidates = parentCandidates(child->path(), dyn, [&](qint64 o, qint64 l) { return child->readAt(o, l); });
    std::shared_ptr<PinnedFile> parent;
    QString wrongParent;
    for (const QString &candidate : candidates) {
        Result<std::shared_ptr<PinnedFile>> file = relatedfile::open(*child, QFile::encodeName(candidate), relatedfile::Role::Parent);
        if (!file)
            continue;
        const QByteArray parentFooter = (*file)->readAt((*file)->size() - 512, 512);
        if (parentFooter.startsWith("conectix") && parentFooter.mid(68, 16) == parentId) {
            parent = *file;
            break;
        }
        wrongParent = candidate;
    }
    if (!parent && !wrongParent.isEmpty())
        return Failed{QCoreApplication::translate("drives", "foreldrebildet til %1 er ikke det bildet det ble laget fra: %2").arg(name, wrongParent)};
    if (!parent) {
        return Failed{QCoreApplication::translate("drives", "foreldrebildet til %1 kan ikke leses: %2 finnes ikke")
                          .arg(name, candidates.isEmpty() ? QCoreApplication::translate("drives", "(ikke oppgitt)") : candidates.first())};
    }
    Result<DiskMap> fromParent = parentMap(parent, depth + 1);
    if (!fromParent)
        return fromParent;

    DiskMap map;
    map.files.push_back(child);
    const int parentFirst = map.adoptFiles(*fromParent);
    const auto append = [&map](DiskMap::Extent e) {
        if (!map.extents.isEmpty()) {
            DiskMap::Extent &last = map.extents.last();
            if (last.file == e.file && last.end() == e.start && last.offset + last.length == e.offset) {
                last.length += e.length;
                return;
            }
        }
        if (map.extents.size() < kMostMapExtents)
            map.extents.append(e);
    };
    const auto fromParentBetween = [&](qint64 from, qint64 to) {
        for (DiskMap::Extent e : fromParent->slice(from, to)) {
            e.file += parentFirst;
            append(e);
        }
    };

    const qint64 sectorsPerBlock = blockSize / 512;
    const qint64 bitmapBytes = ((sectorsPerBlock + 7) / 8 + 511) / 512 * 512;
    const QByteArray table = child->readAt(static_cast<qint64>(tableOffset), qint64(entries) * 4);
    if (table.size() != qint64(entries) * 4)
        return damaged;
    const Failed tooLarge{QCoreApplication::translate("drives", "%1 er et differanse-VHD-bilde som er for oppstykket til at vendral leser "
                                         "det")
                              .arg(name)};
    for (quint32 b = 0; b < entries && qint64(b) * blockSize < size; ++b) {
        if (map.extents.size() >= kMostMapExtents)
            return tooLarge;
        if (b % 256 == 0 && deadline.hasExpired())
            return Failed{QCoreApplication::translate("drives", "%1 ble ikke lest ferdig innen tidsgrensen og ble gitt opp").arg(name)};
        const qint64 blockStart = qint64(b) * blockSize;
        const qint64 blockEnd = qMin(size, blockStart + blockSize);
        const quint32 sector = be32(table, qsizetype(b) * 4);
        if (sector == kUnallocated) {
            fromParentBetween(blockStart, blockEnd);
            continue;
        }
        const qint64 bitmapAt = qint64(sector) * 512;
        const QByteArray bitmap = child->readAt(bitmapAt, bitmapBytes);
        if (bitmap.size() != bitmapBytes)
            return Failed{QCoreApplication::translate("drives", "%1 er avkortet: blokk %2 mangler").arg(name).arg(b)};
        // Runs of sectors with the same bit (the first sector is the
        // highest bit of the first byte).
        const auto own = [&bitmap](qint64 s) { return (static_cast<unsigned char>(bitmap[s / 8]) >> (7 - s % 8)) & 1; };
        const qint64 sectors = (blockEnd - blockStart + 511) / 512;
        for (qint64 s = 0; s < sectors;) {
            qint64 e = s + 1;
            while (e < sectors && own(e) == own(s))
                ++e;
            const qint64 from = blockStart + s * 512;
            const qint64 to = qMin(blockEnd, blockStart + e * 512);
            if (own(s))
                append({from, to - from, 0, bitmapAt + bitmapBytes + s * 512});
            else
                fromParentBetween(from, to);
            s = e;
        }
    }
    if (map.extents.size() >= kMostMapExtents)
        return tooLarge;
    return map;
}

} // namespace vhddifference
