#include "loading/registryhive.h"

#include "drives/ansitext.h"

#include <QSet>

#include <libcreg.h>

#include <algorithm>

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

} // namespace

struct RegistryHive::Handles
{
    ~Handles()
    {
        if (file) {
            libcreg_file_close(file, nullptr);
            libcreg_file_free(&file, nullptr);
        }
        if (range)
            libbfio_handle_free(&range, nullptr);
    }
    libcreg_file_t *file = nullptr;
    libbfio_handle_t *range = nullptr;
};

struct RegistryHive::Key
{
    ~Key() { libcreg_key_free(&key, nullptr); }
    libcreg_key_t *key = nullptr;
};

RegistryHive::RegistryHive(QByteArray bytes) : m_bytes(std::move(bytes)), m_handles(std::make_unique<Handles>()) {}

RegistryHive::~RegistryHive() = default;

Result<std::shared_ptr<RegistryHive>> RegistryHive::open(QByteArray bytes)
{
    if (bytes.size() > kLargestHive)
        return Failed{QStringLiteral("filen er for stor til å være et register (%1 byte)").arg(bytes.size()),
                      FailureKind::TooLarge};
    if (!blocksComplete(bytes) || !keyTreeSound(bytes))
        return Failed{QStringLiteral("filen er ikke et lesbart Windows 95/98-register"), FailureKind::Other};
    std::shared_ptr<RegistryHive> hive(new RegistryHive(std::move(bytes)));
    Handles &h = *hive->m_handles;
    CregError error;
    libbfio_error_t *bfioError = nullptr;
    const bool opened =
        libbfio_memory_range_initialize(&h.range, &bfioError) == 1
        && libbfio_memory_range_set(h.range, reinterpret_cast<uint8_t *>(hive->m_bytes.data()),
                                    size_t(hive->m_bytes.size()), &bfioError) == 1
        && libcreg_file_initialize(&h.file, &error.error) == 1
        && libcreg_file_set_ascii_codepage(h.file, LIBCREG_CODEPAGE_WINDOWS_1252, &error.error) == 1
        && libcreg_file_open_file_io_handle(h.file, h.range, LIBCREG_OPEN_READ, &error.error) == 1;
    libbfio_error_free(&bfioError);
    if (!opened) {
        if (h.file)
            libcreg_file_free(&h.file, nullptr); // never opened: nothing to close
        return Failed{QStringLiteral("filen er ikke et lesbart Windows 95/98-register"), FailureKind::Other};
    }
    return hive;
}

std::unique_ptr<RegistryHive::Key> RegistryHive::key(QByteArrayView path) const
{
    CregError error;
    auto key = std::make_unique<Key>();
    if (libcreg_file_get_root_key(m_handles->file, &key->key, &error.error) != 1)
        return nullptr;
    // One name at a time, compared in capitals as Windows does: the
    // library's own lookup by path is not documented to ignore case.
    for (const QByteArrayView name : path.toByteArray().split('\\')) {
        if (name.isEmpty())
            continue;
        const QByteArray wanted = ansi::upper(name.toByteArray());
        int count = 0;
        if (libcreg_key_get_number_of_sub_keys(key->key, &count, &error.error) != 1)
            return nullptr;
        auto next = std::make_unique<Key>();
        for (int i = 0; i < std::min(count, kMostEntries) && !next->key; ++i) {
            Key sub;
            size_t size = 0;
            if (libcreg_key_get_sub_key_by_index(key->key, i, &sub.key, &error.error) != 1
                || libcreg_key_get_name_size(sub.key, &size, &error.error) != 1 || size > 4096)
                continue;
            QByteArray subName(qsizetype(size), '\0');
            if (libcreg_key_get_name(sub.key, reinterpret_cast<uint8_t *>(subName.data()), size, &error.error) != 1)
                continue;
            if (ansi::upper(withoutTerminator(subName)) == wanted)
                std::swap(next->key, sub.key);
        }
        if (!next->key)
            return nullptr;
        key = std::move(next);
    }
    return key;
}

QList<RegistryHive::Value> RegistryHive::stringValues(QByteArrayView path) const
{
    QList<Value> values;
    const std::unique_ptr<Key> found = key(path);
    if (!found)
        return values;
    CregError error;
    int count = 0;
    if (libcreg_key_get_number_of_values(found->key, &count, &error.error) != 1)
        return values;
    for (int i = 0; i < std::min(count, kMostEntries); ++i) {
        libcreg_value_t *value = nullptr;
        if (libcreg_key_get_value_by_index(found->key, i, &value, &error.error) != 1)
            continue;
        uint32_t type = 0;
        size_t nameSize = 0, dataSize = 0;
        if (libcreg_value_get_value_type(value, &type, &error.error) == 1
            && (type == LIBCREG_VALUE_TYPE_STRING || type == LIBCREG_VALUE_TYPE_EXPANDABLE_STRING)
            && libcreg_value_get_name_size(value, &nameSize, &error.error) == 1 && nameSize <= 4096
            && libcreg_value_get_value_data_size(value, &dataSize, &error.error) == 1 && dataSize <= 65536) {
            QByteArray name(qsizetype(nameSize), '\0'), data(qsizetype(dataSize), '\0');
            const bool read =
                (nameSize == 0
                 || libcreg_value_get_name(value, reinterpret_cast<uint8_t *>(name.data()), nameSize, &error.error) == 1)
                && (dataSize == 0
                    || libcreg_value_get_value_data(value, reinterpret_cast<uint8_t *>(data.data()), dataSize,
                                                    &error.error) == 1);
            if (read)
                values.append({withoutTerminator(name), withoutTerminator(data)});
        }
        libcreg_value_free(&value, nullptr);
    }
    return values;
}

QList<QByteArray> RegistryHive::subKeys(QByteArrayView path) const
{
    QList<QByteArray> names;
    const std::unique_ptr<Key> found = key(path);
    if (!found)
        return names;
    CregError error;
    int count = 0;
    if (libcreg_key_get_number_of_sub_keys(found->key, &count, &error.error) != 1)
        return names;
    for (int i = 0; i < std::min(count, kMostEntries); ++i) {
        Key sub;
        size_t size = 0;
        if (libcreg_key_get_sub_key_by_index(found->key, i, &sub.key, &error.error) != 1
            || libcreg_key_get_name_size(sub.key, &size, &error.error) != 1 || size > 4096)
            continue;
        QByteArray name(qsizetype(size), '\0');
        if (libcreg_key_get_name(sub.key, reinterpret_cast<uint8_t *>(name.data()), size, &error.error) == 1)
            names.append(withoutTerminator(name));
    }
    return names;
}
