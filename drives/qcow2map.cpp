#include "drives/qcow2map.h"

#include "drives/byteorder.h"

#include <QCoreApplication>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace qcow2map {
namespace {

using byteorder::be32;
using byteorder::be64;



// QEMU's own bound on the top table.
constexpr quint64 kLargestL1 = quint64(32) << 20;
// The second-level tables read to check them: enough for disks far larger
// than any Windows 95/98 machine had.
constexpr quint64 kMostL2Bytes = quint64(32) << 20;
constexpr quint64 kOffsetMask = 0x00fffffffffffe00ULL;
constexpr quint64 kCompressed = quint64(1) << 62;

enum Incompatible : quint64 {
    Dirty = 1,
    Corrupt = 2,
    ExternalDataFile = 4,
    CompressionType = 8,
    ExtendedL2 = 16,
};

// One bit a cluster of the file: which are used by the map already.
class ClusterSet
{
public:
    explicit ClusterSet(quint64 clusters) : m_bits((clusters + 63) / 64, 0) {}
    // False when the cluster was taken already.
    bool take(quint64 cluster)
    {
        quint64 &word = m_bits[cluster / 64];
        const quint64 bit = quint64(1) << (cluster % 64);
        if (word & bit)
            return false;
        word |= bit;
        return true;
    }

private:
    std::vector<quint64> m_bits;
};

} // namespace

Result<Facts> check(QByteArrayView head, qint64 fileSize, const ReadAt &readAt, const QString &name)
{
    const Failed damaged{QCoreApplication::translate("drives", "%1 er et skadet eller avkortet QCOW2-bilde").arg(name)};
    const quint32 version = be32(head, 4);
    if (version != 2 && version != 3)
        return Failed{QCoreApplication::translate("drives", "%1 er et QCOW2-bilde av en utgave eller type som QEMU ikke kan lese").arg(name)};
    const quint32 clusterBits = be32(head, 20);
    if (clusterBits < 9 || clusterBits > 21 || fileSize <= 0)
        return damaged;
    quint64 features = 0;
    if (version == 3) {
        features = be64(head, 72);
        if (features & ExternalDataFile) {
            return Failed{QCoreApplication::translate("drives", "%1 bruker en ekstern datafil, og den følger ikke vendral; lag en kopi uten med "
                                         "qemu-img convert først")
                              .arg(name)};
        }
        if (features & ~quint64(Dirty | Corrupt | CompressionType | ExtendedL2)) {
            return Failed{QCoreApplication::translate("drives", "%1 er et QCOW2-bilde med egenskaper vendral ikke kjenner (0x%2)")
                              .arg(name)
                              .arg(features, 0, 16)};
        }
    }
    const quint64 cluster = quint64(1) << clusterBits;
    const quint64 size = quint64(fileSize);
    const quint32 l1Entries = be32(head, 36);
    const quint64 l1Offset = be64(head, 40);
    if (quint64(l1Entries) * 8 > kLargestL1 || (l1Entries > 0 && (l1Offset % cluster != 0 || l1Offset > size
                                                                 || (size - l1Offset) / 8 < l1Entries)))
        return damaged;
    const QByteArray l1 = readAt(static_cast<qint64>(l1Offset), qint64(l1Entries) * 8);
    if (l1.size() != qint64(l1Entries) * 8)
        return damaged;

    const int entryBytes = (features & ExtendedL2) ? 16 : 8;
    const quint64 compressedBits = 62 - (clusterBits - 8);
    const quint64 compressedMask = (quint64(1) << compressedBits) - 1;
    ClusterSet used((size + cluster - 1) / cluster);
    std::vector<quint64> compressed;
    quint64 l2Read = 0;
    const auto aliased = Failed{
        QCoreApplication::translate("drives", "%1 er et QCOW2-bilde der to deler av disken peker på samme sted i filen; vendral leser det "
                       "ikke")
            .arg(name)};
    for (quint32 i = 0; i < l1Entries; ++i) {
        const quint64 l2Offset = be64(l1, qsizetype(i) * 8) & kOffsetMask;
        if (l2Offset == 0)
            continue;
        if (l2Offset % cluster != 0 || l2Offset > size || size - l2Offset < cluster)
            return damaged;
        if (!used.take(l2Offset / cluster))
            return aliased;
        l2Read += cluster;
        if (l2Read > kMostL2Bytes)
            return Failed{QCoreApplication::translate("drives", "%1 er et QCOW2-bilde med flere tabeller enn vendral leser").arg(name)};
        const QByteArray l2 = readAt(static_cast<qint64>(l2Offset), static_cast<qint64>(cluster));
        if (quint64(l2.size()) != cluster)
            return damaged;
        for (qsizetype at = 0; at + entryBytes <= l2.size(); at += entryBytes) {
            const quint64 entry = be64(l2, at);
            if (entry & kCompressed) {
                const quint64 host = entry & compressedMask;
                if (host >= size)
                    return damaged;
                compressed.push_back(host);
                continue;
            }
            const quint64 host = entry & kOffsetMask;
            if (host == 0)
                continue;
            if (host % cluster != 0 || host > size || size - host < cluster)
                return damaged;
            if (!used.take(host / cluster))
                return aliased;
        }
    }
    std::sort(compressed.begin(), compressed.end());
    if (std::adjacent_find(compressed.begin(), compressed.end()) != compressed.end())
        return aliased;
    return Facts{!compressed.empty()};
}

} // namespace qcow2map
