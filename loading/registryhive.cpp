#include "loading/registryhive.h"

#include "drives/ansitext.h"

#include "drives/boundedprocess.h"
#include "drives/pinnedfile.h"

#include <QCoreApplication>

#include <cstring>
#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QSet>

#include <libcreg.h>

#include <algorithm>
#include <memory>

namespace {

// Frees a libyal error as it goes out of scope.
struct CregError
{
    ~CregError() { libcreg_error_free(&error); }
    libcreg_error_t *error = nullptr;
};

QByteArray withoutTerminator(QByteArray text)
{
    const qsizetype end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    return text;
}

quint32 le32(const QByteArray &bytes, qsizetype at)
{
    quint32 n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 8) | quint8(bytes[at + i]);
    return n;
}

// Whether the hive's data blocks are all there: the file header names the
// first RGDB block and their number, and each block its size. The library
// reads them only when a key needs them, so a hive cut off while copied
// would otherwise seem merely to lack its keys.
bool blocksComplete(const QByteArray &bytes)
{
    if (bytes.size() < 32 || !bytes.startsWith("CREG"))
        return false;
    qint64 at = le32(bytes, 8);
    const int blocks = quint8(bytes[16]) | (quint8(bytes[17]) << 8);
    for (int i = 0; i < blocks; ++i) {
        if (at < 32 || at + 8 > bytes.size() || bytes.mid(at, 4) != "RGDB")
            return false;
        const quint32 size = le32(bytes, at + 4);
        if (size < 8 || at + size > bytes.size())
            return false;
        at += size;
    }
    return true;
}

// Whether the key tree is a tree: from the root, each key's first sub-key
// and next sibling lie inside the RGKN block and no key is reached twice.
// The library follows these links as they stand, so a loop would keep it
// busy for as long as it takes to give up.
bool keyTreeSound(const QByteArray &bytes)
{
    constexpr qint64 kRgkn = 32, kEntry = 28, kNone = 0xFFFFFFFF;
    if (bytes.size() < kRgkn + 12 || bytes.mid(kRgkn, 4) != "RGKN")
        return false;
    const qint64 size = std::min<qint64>(le32(bytes, kRgkn + 4), bytes.size() - kRgkn);
    QList<qint64> pending{le32(bytes, kRgkn + 8)};
    QSet<qint64> seen;
    while (!pending.isEmpty()) {
        const qint64 at = pending.takeLast();
        if (at < 32 || at + kEntry > size || seen.contains(at))
            return false;
        seen.insert(at);
        for (const qint64 link : {le32(bytes, kRgkn + at + 16), le32(bytes, kRgkn + at + 20)}) {
            if (link != kNone)
                pending.append(link);
        }
    }
    return true;
}

struct Key
{
    Key() = default;
    ~Key() { libcreg_key_free(&key, nullptr); }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    libcreg_key_t *key = nullptr;
};

// A hive opened through libcreg, from a file in memory: the library's own
// reader of memory ranges reads past the range's end on some damaged files,
// its reader of files does not.
class OpenHive
{
public:
    explicit OpenHive(const QByteArray &bytes)
    {
        Result<std::shared_ptr<MemoryFile>> file = MemoryFile::holding(bytes);
        if (!file)
            return;
        m_file = file.value();
        CregError error;
        const QByteArray path = QFile::encodeName(m_file->procPath());
        m_open = libcreg_file_initialize(&m_hive, &error.error) == 1
                 && libcreg_file_set_ascii_codepage(m_hive, LIBCREG_CODEPAGE_WINDOWS_1252, &error.error) == 1
                 && libcreg_file_open(m_hive, path.constData(), LIBCREG_OPEN_READ, &error.error) == 1;
    }
    ~OpenHive()
    {
        if (inIsolatedCopy())
            return; // the copy ends next, and its memory with it
        if (m_open)
            libcreg_file_close(m_hive, nullptr);
        if (m_hive)
            libcreg_file_free(&m_hive, nullptr);
    }
    OpenHive(const OpenHive &) = delete;
    OpenHive &operator=(const OpenHive &) = delete;

    bool isOpen() const { return m_open; }

    // The key at the path, found one name at a time in capitals as Windows
    // does (the library's own lookup is not documented to ignore case);
    // null when absent.
    std::unique_ptr<Key> key(QByteArrayView path) const
    {
        CregError error;
        auto key = std::make_unique<Key>();
        if (libcreg_file_get_root_key(m_hive, &key->key, &error.error) != 1)
            return nullptr;
        for (const QByteArray &name : path.toByteArray().split('\\')) {
            if (name.isEmpty())
                continue;
            const QByteArray wanted = ansi::upper(name);
            std::unique_ptr<Key> next;
            const int count = subKeyCount(*key);
            for (int i = 0; i < count && !next; ++i) {
                auto sub = subKey(*key, i);
                if (sub && ansi::upper(nameOf(*sub)) == wanted)
                    next = std::move(sub);
            }
            if (!next)
                return nullptr;
            key = std::move(next);
        }
        return key;
    }

    static int subKeyCount(const Key &key)
    {
        CregError error;
        int count = 0;
        if (libcreg_key_get_number_of_sub_keys(key.key, &count, &error.error) != 1)
            return 0;
        return std::min(count, RegistryHive::kMostEntries);
    }

    static std::unique_ptr<Key> subKey(const Key &key, int i)
    {
        CregError error;
        auto sub = std::make_unique<Key>();
        if (libcreg_key_get_sub_key_by_index(key.key, i, &sub->key, &error.error) != 1)
            return nullptr;
        return sub;
    }

    static QByteArray nameOf(const Key &key)
    {
        CregError error;
        size_t size = 0;
        if (libcreg_key_get_name_size(key.key, &size, &error.error) != 1 || size > 4096)
            return {};
        QByteArray name(qsizetype(size), '\0');
        if (size > 0 && libcreg_key_get_name(key.key, reinterpret_cast<uint8_t *>(name.data()), size, &error.error) != 1)
            return {};
        return withoutTerminator(name);
    }

    static QList<RegistryHive::Value> stringValues(const Key &key)
    {
        QList<RegistryHive::Value> values;
        CregError error;
        int count = 0;
        if (libcreg_key_get_number_of_values(key.key, &count, &error.error) != 1)
            return values;
        for (int i = 0; i < std::min(count, RegistryHive::kMostEntries); ++i) {
            libcreg_value_t *value = nullptr;
            if (libcreg_key_get_value_by_index(key.key, i, &value, &error.error) != 1)
                continue;
            uint32_t type = 0;
            size_t nameSize = 0, dataSize = 0;
            if (libcreg_value_get_value_type(value, &type, &error.error) == 1
                && (type == LIBCREG_VALUE_TYPE_STRING || type == LIBCREG_VALUE_TYPE_EXPANDABLE_STRING)
                && libcreg_value_get_name_size(value, &nameSize, &error.error) == 1 && nameSize <= 4096
                && libcreg_value_get_value_data_size(value, &dataSize, &error.error) == 1 && dataSize <= 65536) {
                QByteArray name(qsizetype(nameSize), '\0'), data(qsizetype(dataSize), '\0');
                const bool read = (nameSize == 0
                                   || libcreg_value_get_name(value, reinterpret_cast<uint8_t *>(name.data()), nameSize,
                                                             &error.error) == 1)
                                  && (dataSize == 0
                                      || libcreg_value_get_value_data(value, reinterpret_cast<uint8_t *>(data.data()),
                                                                      dataSize, &error.error) == 1);
                if (read)
                    values.append({withoutTerminator(name), withoutTerminator(data)});
            }
            libcreg_value_free(&value, nullptr);
        }
        return values;
    }

private:
    std::shared_ptr<MemoryFile> m_file;
    libcreg_file_t *m_hive = nullptr;
    bool m_open = false;
};

const QByteArray kFailedMark = "E", kReadMark = "K";

} // namespace

Result<RegistryHive> RegistryHive::readHere(const QByteArray &bytes, const QList<QByteArray> &keys,
                                            const QList<QByteArray> &parents)
{
    if (bytes.size() > kLargestHive)
        return Failed{QCoreApplication::translate("loading", "filen er for stor til å være et register (%1 byte)").arg(bytes.size()),
                      FailureKind::TooLarge};
    if (!blocksComplete(bytes) || !keyTreeSound(bytes))
        return Failed{QCoreApplication::translate("loading", "filen er ikke et lesbart Windows 95/98-register"), FailureKind::Other};
    const OpenHive hive(bytes);
    if (!hive.isOpen())
        return Failed{QCoreApplication::translate("loading", "filen er ikke et lesbart Windows 95/98-register"), FailureKind::Other};
    RegistryHive read;
    for (const QByteArray &path : keys) {
        if (const std::unique_ptr<Key> key = hive.key(path))
            read.m_values.insert(ansi::upper(path), OpenHive::stringValues(*key));
    }
    for (const QByteArray &path : parents) {
        const std::unique_ptr<Key> parent = hive.key(path);
        if (!parent)
            continue;
        QList<QByteArray> &names = read.m_subKeys[ansi::upper(path)];
        const int count = OpenHive::subKeyCount(*parent);
        for (int i = 0; i < count; ++i) {
            const std::unique_ptr<Key> sub = OpenHive::subKey(*parent, i);
            if (!sub)
                continue;
            const QByteArray name = OpenHive::nameOf(*sub);
            names.append(name);
            read.m_values.insert(ansi::upper(path + '\\' + name), OpenHive::stringValues(*sub));
        }
    }
    return read;
}

Result<RegistryHive> RegistryHive::read(QByteArray bytes, const QList<QByteArray> &keys,
                                        const QList<QByteArray> &parents)
{
    if (bytes.size() > kLargestHive) // told without a copy of the program
        return readHere(bytes, keys, parents);
    return fromAnswer(runIsolated(work(bytes, keys, parents)));
}

namespace {

// The work's input: the count of keys, each key after its length, the same
// for the parents, then the hive.
void appendPaths(QByteArray &to, const QList<QByteArray> &paths)
{
    const auto count = static_cast<quint32>(paths.size());
    to.append(reinterpret_cast<const char *>(&count), sizeof count);
    for (const QByteArray &path : paths) {
        const auto length = static_cast<quint32>(path.size());
        to.append(reinterpret_cast<const char *>(&length), sizeof length);
        to.append(path);
    }
}

QList<QByteArray> takePaths(QByteArrayView &from)
{
    const auto take = [&from]() {
        quint32 value = 0;
        std::memcpy(&value, from.data(), sizeof value);
        from = from.sliced(sizeof value);
        return value;
    };
    QList<QByteArray> paths;
    for (quint32 count = take(); count > 0; --count) {
        const quint32 length = take();
        paths.append(from.first(length).toByteArray());
        from = from.sliced(length);
    }
    return paths;
}

} // namespace

QByteArray RegistryHive::answerWork(QByteArrayView input)
{
    const QList<QByteArray> keys = takePaths(input);
    const QList<QByteArray> parents = takePaths(input);
    const Result<RegistryHive> hive =
        RegistryHive::readHere(QByteArray::fromRawData(input.data(), input.size()), keys, parents);
    if (!hive)
        return kFailedMark + hive.reason().toUtf8();
    return kReadMark + hive->serialised();
}

IsolatedWork RegistryHive::work(const QByteArray &bytes, const QList<QByteArray> &keys, const QList<QByteArray> &parents)
{
    IsolatedWork work{&answerWork, {}};
    appendPaths(work.input, keys);
    appendPaths(work.input, parents);
    work.input.append(bytes);
    return work;
}

Result<RegistryHive> RegistryHive::fromAnswer(const Result<QByteArray> &answer)
{
    if (!answer)
        return answer.failure();
    if (answer->startsWith(kFailedMark))
        return Failed{QString::fromUtf8(answer->sliced(1)), FailureKind::Other};
    if (!answer->startsWith(kReadMark))
        return Failed{QCoreApplication::translate("loading", "filen er skadet: leseren stoppet"), FailureKind::Other};
    return fromSerialised(answer->sliced(1));
}

QByteArray RegistryHive::serialised() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << qint32(m_values.size());
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        out << it.key() << qint32(it->size());
        for (const Value &value : *it)
            out << value.name << value.text;
    }
    out << m_subKeys;
    return bytes;
}

Result<RegistryHive> RegistryHive::fromSerialised(const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    RegistryHive hive;
    qint32 keys = 0;
    in >> keys;
    for (qint32 k = 0; k < keys && in.status() == QDataStream::Ok; ++k) {
        QByteArray path;
        qint32 count = 0;
        in >> path >> count;
        QList<Value> &values = hive.m_values[path];
        for (qint32 v = 0; v < std::min(count, kMostEntries) && in.status() == QDataStream::Ok; ++v) {
            Value value;
            in >> value.name >> value.text;
            values.append(value);
        }
    }
    in >> hive.m_subKeys;
    if (in.status() != QDataStream::Ok)
        return Failed{QCoreApplication::translate("loading", "filen er skadet: leseren stoppet"), FailureKind::Other};
    return hive;
}

QList<RegistryHive::Value> RegistryHive::stringValues(QByteArrayView path) const
{
    return m_values.value(ansi::upper(path.toByteArray()));
}

QList<QByteArray> RegistryHive::subKeys(QByteArrayView path) const
{
    return m_subKeys.value(ansi::upper(path.toByteArray()));
}
