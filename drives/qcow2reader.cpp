#include "drives/qcow2reader.h"

#include "drives/byteorder.h"

#include <QCoreApplication>
#include <QHash>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace qcow2reader {
namespace {

using byteorder::be32;
using byteorder::be64;



constexpr quint64 kOffsetMask = 0x00fffffffffffe00ULL;
constexpr quint64 kCompressed = quint64(1) << 62;
constexpr quint64 kReadsAsZeros = 1; // a cluster QCOW2 v3 marks all zeros
// Incompatible features that change how clusters are found or kept.
constexpr quint64 kCompressionType = 8, kExtendedL2 = 16;
// The second-level tables kept at hand: each is one cluster of the file.
constexpr int kTablesKept = 16;

class Reader
{
public:
    Reader(std::shared_ptr<PinnedFile> file, int clusterBits, QByteArray l1, QString name)
        : m_file(std::move(file)), m_bits(clusterBits), m_cluster(qint64(1) << clusterBits), m_l1(std::move(l1)),
          m_name(std::move(name)), m_scratch(m_cluster, Qt::Uninitialized)
    {
    }

    Result<bool> fill(const QList<ByteRange> &missing, char *disk)
    {
        for (const ByteRange &r : missing) {
            for (qint64 at = r.start; at < r.end();) {
                const quint64 index = quint64(at) >> m_bits;
                const qint64 within = at - qint64(index << m_bits);
                const qint64 length = std::min(m_cluster - within, r.end() - at);
                if (within == 0 && length == m_cluster) {
                    if (!cluster(index, disk + at))
                        return damaged();
                } else {
                    // Part of a cluster: the whole of it is read once, then
                    // the part asked for copied from it.
                    if (m_scratchIndex != index) {
                        m_scratchIndex = quint64(-1);
                        if (!cluster(index, m_scratch.data()))
                            return damaged();
                        m_scratchIndex = index;
                    }
                    std::memcpy(disk + at, m_scratch.constData() + within, size_t(length));
                }
                at += length;
            }
        }
        return true;
    }

private:
    Failed damaged() const
    {
        return Failed{QCoreApplication::translate("drives", "%1 er et skadet eller avkortet QCOW2-bilde").arg(m_name),
                      FailureKind::DamagedImage};
    }

    // The second-level table an entry of the top table names; empty for none.
    const QByteArray *table(quint64 offset)
    {
        auto known = m_tables.constFind(offset);
        if (known != m_tables.cend())
            return &*known;
        if (m_tables.size() >= kTablesKept)
            m_tables.clear();
        QByteArray read = m_file->readAt(qint64(offset), m_cluster);
        if (read.size() != m_cluster)
            return nullptr;
        return &*m_tables.insert(offset, std::move(read));
    }

    // One cluster of the disk into `into`; false when the file is damaged.
    bool cluster(quint64 index, char *into)
    {
        const quint64 perTable = quint64(m_cluster) / 8;
        const quint64 top = index / perTable;
        const quint64 l2Offset = top < quint64(m_l1.size() / 8) ? be64(m_l1, qsizetype(top) * 8) & kOffsetMask : 0;
        if (l2Offset == 0) {
            std::memset(into, 0, size_t(m_cluster));
            return true;
        }
        const QByteArray *l2 = table(l2Offset);
        if (!l2)
            return false;
        const quint64 entry = be64(*l2, qsizetype(index % perTable) * 8);
        if (entry & kCompressed)
            return inflateCluster(entry, into);
        const quint64 host = entry & kOffsetMask;
        if (host == 0 || (entry & kReadsAsZeros)) {
            std::memset(into, 0, size_t(m_cluster));
            return true;
        }
        return m_file->readExactly(qint64(host), into, m_cluster);
    }

    // A compressed cluster: where it starts, how many 512-byte sectors it
    // reaches into, and raw deflate data inflating to exactly one cluster.
    bool inflateCluster(quint64 entry, char *into)
    {
        const int shift = 62 - (m_bits - 8);
        const quint64 start = entry & ((quint64(1) << shift) - 1);
        const quint64 sectors = ((entry >> shift) & ((quint64(1) << (m_bits - 8)) - 1)) + 1;
        const quint64 length = sectors * 512 - (start & 511);
        if (start >= quint64(m_file->size()))
            return false;
        const QByteArray packed = m_file->readAt(qint64(start), qint64(std::min<quint64>(length, quint64(m_file->size()) - start)));
        z_stream stream{};
        if (inflateInit2(&stream, -12) != Z_OK)
            return false;
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
        stream.avail_in = uInt(packed.size());
        stream.next_out = reinterpret_cast<Bytef *>(into);
        stream.avail_out = uInt(m_cluster);
        const int result = inflate(&stream, Z_FINISH);
        const bool whole = (result == Z_STREAM_END || result == Z_BUF_ERROR) && stream.avail_out == 0;
        inflateEnd(&stream);
        return whole;
    }

    std::shared_ptr<PinnedFile> m_file;
    int m_bits;
    qint64 m_cluster;
    QByteArray m_l1;
    QString m_name;
    QHash<quint64, QByteArray> m_tables;
    QByteArray m_scratch;
    quint64 m_scratchIndex = quint64(-1);
};

} // namespace

std::optional<VirtualDisk::Filler> filler(std::shared_ptr<PinnedFile> file, QByteArrayView head, const QString &name)
{
    const quint32 version = be32(head, 4);
    const quint32 clusterBits = be32(head, 20);
    if ((version != 2 && version != 3) || clusterBits < 9 || clusterBits > 21)
        return std::nullopt;
    if (be64(head, 8) != 0 || be32(head, 32) != 0) // a parent, or encryption
        return std::nullopt;
    if (version == 3) {
        const quint64 features = be64(head, 72);
        if (features & kExtendedL2)
            return std::nullopt;
        // The compression type follows a header of more than 104 bytes; 0 is zlib.
        if ((features & kCompressionType) && (be32(head, 100) <= 104 || head.size() <= 104 || head[104] != 0))
            return std::nullopt;
    }
    const QByteArray l1 = file->readAt(qint64(be64(head, 40)), qint64(be32(head, 36)) * 8);
    if (l1.size() != qint64(be32(head, 36)) * 8)
        return std::nullopt;
    auto reader = std::make_shared<Reader>(std::move(file), int(clusterBits), l1, name);
    return VirtualDisk::Filler([reader](const QList<ByteRange> &missing, char *disk) { return reader->fill(missing, disk); });
}

} // namespace qcow2reader
