#include "drives/fatreader.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>

namespace {

// FAT allows a directory no more entries than this.
constexpr qint64 kMostDirectoryBytes = qint64(65536) * 32;
// The FAT is read in blocks of this size, as its entries are needed.
constexpr qint64 kFatBlock = 64 * 1024;

// Code page 850, the one DOS and mtools read short names in by default,
// from 0x80 up.
constexpr std::array<char16_t, 128> kCodePage850{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC,
    0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8,
    0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE,
    0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C,
    0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF,
    0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2,
    0x25A0, 0x00A0};

unsigned byteAt(QByteArrayView s, qsizetype at)
{
    return static_cast<unsigned char>(s[at]);
}

unsigned le16(QByteArrayView s, qsizetype at)
{
    return byteAt(s, at) | byteAt(s, at + 1) << 8;
}

quint32 le32(QByteArrayView s, qsizetype at)
{
    return le16(s, at) | quint32(le16(s, at + 2)) << 16;
}

// The short name's part (8 or 3 bytes) without its padding, lower-cased
// when the entry says Windows NT wrote it so.
QString shortPart(QByteArrayView bytes, bool lower)
{
    qsizetype length = bytes.size();
    while (length > 0 && bytes[length - 1] == ' ')
        --length;
    QString part(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned b = byteAt(bytes, i);
        char16_t c = b < 0x80 ? char16_t(b) : kCodePage850[b - 0x80];
        if (lower && c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        part[i] = QChar(c);
    }
    return part;
}

unsigned char shortNameChecksum(QByteArrayView entry)
{
    unsigned char sum = 0;
    for (qsizetype i = 0; i < 11; ++i)
        sum = static_cast<unsigned char>(((sum & 1) << 7) + (sum >> 1) + byteAt(entry, i));
    return sum;
}

// A long name gathered from its entries, which come last part first.
struct LongName
{
    QList<char16_t> chars;
    int expected = 0; // the sequence number the next entry must have
    unsigned checksum = 0;

    void reset() { expected = 0; }
    void add(QByteArrayView entry)
    {
        const unsigned order = byteAt(entry, 0);
        const int sequence = int(order & 0x1F);
        if (order & 0x40) { // the last part, which comes first
            chars = QList<char16_t>(sequence * 13, char16_t(0xFFFF));
            expected = sequence;
            checksum = byteAt(entry, 13);
        }
        if (sequence == 0 || sequence != expected || byteAt(entry, 13) != checksum) {
            expected = 0;
            return;
        }
        static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int i = 0; i < 13; ++i)
            chars[(sequence - 1) * 13 + i] = char16_t(le16(entry, kOffsets[i]));
        --expected;
        if (expected == 0)
            expected = -1; // complete: the short entry comes next
    }
    // The name, when its parts were all there and belong to this short entry.
    QString nameFor(QByteArrayView shortEntry) const
    {
        if (expected != -1 || shortNameChecksum(shortEntry) != checksum)
            return QString();
        QString name;
        for (char16_t c : chars) {
            if (c == 0 || c == 0xFFFF)
                break;
            name.append(QChar(c));
        }
        return name;
    }
};

Failed damaged(const QString &what)
{
    return Failed{QCoreApplication::translate("drives", "FAT-stasjonen er skadet: %1").arg(what), FailureKind::DamagedImage};
}

Failed brokenAt(quint32 cluster)
{
    return damaged(QCoreApplication::translate("drives", "klyngekjeden brytes ved klynge %1").arg(cluster));
}

} // namespace

bool FatEntry::isNamed(const QString &component) const
{
    return name.compare(component, Qt::CaseInsensitive) == 0 || shortName.compare(component, Qt::CaseInsensitive) == 0;
}

namespace fatreader {

QList<FatEntry> directoryEntries(QByteArrayView bytes)
{
    QList<FatEntry> entries;
    LongName longName;
    for (qsizetype at = 0; at + 32 <= bytes.size(); at += 32) {
        const QByteArrayView entry = bytes.sliced(at, 32);
        const unsigned first = byteAt(entry, 0);
        const unsigned attributes = byteAt(entry, 11);
        if (first == 0x00)
            break; // no entries after this one
        if (first == 0xE5) {
            longName.reset();
            continue;
        }
        if ((attributes & 0x3F) == 0x0F) {
            longName.add(entry);
            continue;
        }
        if (attributes & 0x08) { // the volume label
            longName.reset();
            continue;
        }
        const unsigned caseFlags = byteAt(entry, 12);
        QByteArray base = entry.first(8).toByteArray();
        if (first == 0x05) // a name starting with 0xE5, which marks deleted entries
            base[0] = char(0xE5);
        const QString stem = shortPart(base, caseFlags & 0x08);
        const QString extension = shortPart(entry.sliced(8, 3), caseFlags & 0x10);
        FatEntry e;
        e.shortName = extension.isEmpty() ? stem : stem + QLatin1Char('.') + extension;
        const QString longer = longName.nameFor(entry);
        longName.reset();
        if (e.shortName == QLatin1String(".") || e.shortName == QLatin1String("..") || e.shortName.isEmpty())
            continue;
        e.name = longer.isEmpty() ? e.shortName : longer;
        e.isDirectory = attributes & 0x10;
        e.firstCluster = le16(entry, 26) | quint32(le16(entry, 20)) << 16;
        e.size = le32(entry, 28);
        entries.append(e);
    }
    return entries;
}

} // namespace fatreader

FatReader::FatReader(ReadRanges read, qint64 volumeOffset, diskimage::FatLayout layout)
    : m_read(std::move(read)), m_offset(volumeOffset), m_layout(layout)
{
}

Result<quint32> FatReader::next(quint32 cluster)
{
    // FAT12 packs two entries in three bytes; an entry may straddle two blocks.
    const qint64 at = m_layout.fatBits == 12 ? qint64(cluster) + cluster / 2 : qint64(cluster) * (m_layout.fatBits / 8);
    const int width = m_layout.fatBits == 32 ? 4 : 2;
    if (at + width > m_layout.fatBytes)
        return brokenAt(cluster);
    quint32 value = 0;
    for (int i = 0; i < width; ++i) {
        const qint64 block = (at + i) / kFatBlock;
        auto found = m_fatBlocks.find(block);
        if (found == m_fatBlocks.end()) {
            const qint64 start = block * kFatBlock;
            Result<QByteArray> bytes =
                m_read({{m_offset + m_layout.fatStart + start, qMin(kFatBlock, m_layout.fatBytes - start)}});
            if (!bytes)
                return bytes.failure();
            found = m_fatBlocks.insert(block, std::move(bytes).value());
        }
        const qint64 within = (at + i) % kFatBlock;
        if (within >= found->size())
            return brokenAt(cluster);
        value |= quint32(byteAt(*found, within)) << (8 * i);
    }
    switch (m_layout.fatBits) {
    case 12:
        return cluster & 1 ? value >> 4 : value & 0xFFF;
    case 16:
        return value;
    default:
        return value & 0x0FFFFFFF;
    }
}

Result<QList<ByteRange>> FatReader::chain(quint32 first, qint64 clusters)
{
    const quint32 end = m_layout.fatBits == 12 ? 0xFF8 : m_layout.fatBits == 16 ? 0xFFF8 : 0x0FFFFFF8;
    const Failed loops = damaged(QCoreApplication::translate("drives", "klyngekjeden går i ring"));
    // No chain is longer than the volume has clusters; one that is loops.
    if (clusters > qint64(m_layout.clusterCount))
        return loops;
    QList<ByteRange> ranges;
    quint32 cluster = first;
    // Brent's cycle finding sees most loops within a few turns of them.
    quint32 marked = first;
    qint64 sinceMarked = 0, markEvery = 1;
    for (qint64 step = 0; clusters < 0 || step < clusters; ++step) {
        if (cluster < 2 || cluster - 2 >= m_layout.clusterCount)
            return brokenAt(cluster);
        if (step > 0 && cluster == marked)
            return loops;
        if (++sinceMarked == markEvery) {
            marked = cluster;
            markEvery *= 2;
            sinceMarked = 0;
        }
        const qint64 start = m_offset + m_layout.clusterStart(cluster);
        if (!ranges.isEmpty() && ranges.last().end() == start)
            ranges.last().length += m_layout.clusterBytes;
        else
            ranges.append({start, m_layout.clusterBytes});
        const Result<quint32> following = next(cluster);
        if (!following)
            return following.failure();
        if (*following >= end) {
            if (clusters >= 0 && step + 1 < clusters)
                return damaged(QCoreApplication::translate("drives", "filen er kortere enn størrelsen den oppgir"));
            break;
        }
        cluster = *following;
        if (clusters < 0 && qint64(step + 1) * m_layout.clusterBytes >= kMostDirectoryBytes)
            return damaged(QCoreApplication::translate("drives", "en mappe har flere oppføringer enn FAT tillater"));
    }
    // The rest: a chain that comes back to a cluster it passed would read
    // the same bytes again and again.
    QList<ByteRange> sorted = ranges;
    std::sort(sorted.begin(), sorted.end(), [](const ByteRange &a, const ByteRange &b) { return a.start < b.start; });
    for (qsizetype i = 1; i < sorted.size(); ++i) {
        if (sorted[i].start < sorted[i - 1].end())
            return loops;
    }
    return ranges;
}

Result<QList<FatEntry>> FatReader::rootDirectory()
{
    if (m_layout.fatBits != 32) {
        const Result<QByteArray> bytes = m_read({{m_offset + m_layout.rootStart, m_layout.rootBytes}});
        if (!bytes)
            return bytes.failure();
        return entriesIn(*bytes);
    }
    FatEntry root;
    root.isDirectory = true;
    root.firstCluster = m_layout.rootCluster;
    return directory(root);
}

Result<QList<FatEntry>> FatReader::directory(const FatEntry &entry)
{
    const Result<QList<ByteRange>> ranges = chain(entry.firstCluster, -1);
    if (!ranges)
        return ranges.failure();
    const Result<QByteArray> bytes = m_read(*ranges);
    if (!bytes)
        return bytes.failure();
    return entriesIn(*bytes);
}

QList<FatEntry> FatReader::entriesIn(QByteArrayView bytes) const
{
    QList<FatEntry> entries = fatreader::directoryEntries(bytes);
    // FAT12 and FAT16 keep other things where FAT32 keeps a cluster's high half.
    if (m_layout.fatBits != 32) {
        for (FatEntry &e : entries)
            e.firstCluster &= 0xFFFF;
    }
    return entries;
}

Result<QByteArray> FatReader::file(const FatEntry &entry)
{
    if (entry.size == 0)
        return QByteArray();
    const Result<QList<ByteRange>> ranges = chain(entry.firstCluster, (qint64(entry.size) + m_layout.clusterBytes - 1) / m_layout.clusterBytes);
    if (!ranges)
        return ranges.failure();
    Result<QByteArray> bytes = m_read(*ranges);
    if (!bytes)
        return bytes.failure();
    QByteArray content = std::move(bytes).value();
    content.truncate(entry.size);
    return content;
}
