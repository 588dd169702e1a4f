#pragma once

// Writes Windows 95/98 registry hives (SYSTEM.DAT, USER.DAT: the "CREG" format)
// for tests, after libyal's "Windows 9x Registry File (CREG) format" document.
//
// File layout: a 32-byte file header, one RGKN block holding the key tree as
// 28-byte entries linked by offset, then RGDB blocks holding one record per
// key with its name and values. All numbers are little-endian.

#include "littleendian.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace creg {

struct Value
{
    QByteArray name;
    quint32 type;
    QByteArray data; // stored as given
};

struct Key
{
    QByteArray name; // Windows-1252; empty for the root
    QList<Value> values;
    QList<Key> subKeys;
};

enum : quint32 { RegSz = 1, RegDword = 4 };

// REG_SZ: the Windows-1252 text with its terminating NUL.
inline Value string(const QByteArray &name, const QByteArray &text)
{
    return {name, RegSz, QByteArray(text).append('\0')};
}

namespace detail {

using littleendian::append16;
using littleendian::append32;

inline void putLe16(QByteArray &out, int at, quint16 n)
{
    out[at] = char(n);
    out[at + 1] = char(n >> 8);
}

// The RGKN name hash: the sum of the upper-cased name's bytes below 0x80.
inline quint32 nameHash(const QByteArray &name)
{
    quint32 hash = 0;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            hash += (byte >= 'a' && byte <= 'z') ? byte - 'a' + 'A' : byte;
    }
    return hash;
}

// A key in depth-first order, with its links as indexes (-1: none).
struct Node
{
    const Key *key;
    int parent;
    int firstChild = -1;
    int next = -1;
    quint16 number = 0; // key number within its RGDB block
    quint16 block = 0;  // RGDB block number
};

inline void flatten(const Key &key, int parent, QList<Node> &nodes)
{
    const int self = int(nodes.size());
    nodes.append({&key, parent});
    int previous = -1;
    for (const Key &child : key.subKeys) {
        const int index = int(nodes.size());
        flatten(child, self, nodes);
        if (previous < 0)
            nodes[self].firstChild = index;
        else
            nodes[previous].next = index;
        previous = index;
    }
}

// RGDB key record: size, key number, block number, used size, name length,
// value count, 0, name; then per value: type, 0, name length, data length,
// name, data. The numbers at offsets 4 and 6 are filled in by the caller.
inline QByteArray keyRecord(const Key &key)
{
    QByteArray values;
    for (const Value &value : key.values) {
        append32(values, value.type);
        append32(values, 0);
        append16(values, value.name.size());
        append16(values, value.data.size());
        values.append(value.name).append(value.data);
    }
    const auto size = quint32(20 + key.name.size() + values.size());
    QByteArray record;
    append32(record, size);
    append32(record, 0); // key and block number
    append32(record, size); // used size: the whole record
    append16(record, key.name.size());
    append16(record, key.values.size());
    append32(record, 0);
    return record.append(key.name).append(values);
}

constexpr int kHeaderSize = 0x20;
constexpr int kEntrySize = 28;
constexpr int kBlockLimit = 0x1000; // start a new RGDB block past this size

inline quint32 entryOffset(int index)
{
    return index < 0 ? 0xFFFFFFFF : quint32(kHeaderSize + index * kEntrySize);
}

} // namespace detail

// REG_DWORD: the number, little-endian.
inline Value dword(const QByteArray &name, quint32 n)
{
    QByteArray data;
    detail::append32(data, n);
    return {name, RegDword, data};
}

// The whole hive file for the tree under root (root.name is empty).
inline QByteArray write(const Key &root)
{
    using namespace detail;
    QList<Node> nodes;
    flatten(root, -1, nodes);

    // The root has no name and no record: its entry's numbers are 0xFFFF.
    // (libcreg reads a record with an empty name as a broken key.)
    if (!root.values.isEmpty())
        qFatal("creg: the root key cannot hold values");
    nodes[0].number = nodes[0].block = 0xFFFF;

    // RGDB blocks: key records in tree order, a new block when one is full.
    QList<QByteArray> blocks{QByteArray()};
    quint16 number = 0;
    for (int i = 1; i < nodes.size(); ++i) {
        Node &node = nodes[i];
        QByteArray record = keyRecord(*node.key);
        if (!blocks.last().isEmpty() && kHeaderSize + blocks.last().size() + record.size() > kBlockLimit) {
            blocks.append(QByteArray());
            number = 0;
        }
        node.number = number++;
        node.block = quint16(blocks.size() - 1);
        putLe16(record, 4, node.number);
        putLe16(record, 6, node.block);
        blocks.last() += record;
    }

    // RGKN: header, then one entry per key; the root's entry comes first.
    // 32 spare bytes at the end, because libcreg maps the entries from offset
    // 0x20 but only for (size - 0x20) bytes.
    const int rgknSize = kHeaderSize + int(nodes.size()) * kEntrySize + kHeaderSize;
    QByteArray rgkn("RGKN");
    append32(rgkn, quint32(rgknSize));
    append32(rgkn, kHeaderSize); // offset of the root key's entry
    rgkn.append(kHeaderSize - rgkn.size(), '\0');
    // Each entry: 0, name hash, -1, then the offsets of the parent, first
    // sub key and next sibling (-1: none), the key and RGDB block numbers.
    for (const Node &node : nodes) {
        append32(rgkn, 0);
        append32(rgkn, nameHash(node.key->name));
        append32(rgkn, 0xFFFFFFFF);
        append32(rgkn, entryOffset(node.parent));
        append32(rgkn, entryOffset(node.firstChild));
        append32(rgkn, entryOffset(node.next));
        append16(rgkn, node.number);
        append16(rgkn, node.block);
    }
    rgkn.append(rgknSize - rgkn.size(), '\0');

    // File header: signature, version 1.0, offset of the first RGDB, the
    // number of RGDB blocks.
    QByteArray file("CREG");
    append16(file, 0);
    append16(file, 1);
    append32(file, quint32(kHeaderSize + rgknSize));
    append32(file, 0);
    append16(file, blocks.size());
    file.append(kHeaderSize - file.size(), '\0');
    file += rgkn;

    // Each RGDB: signature, size, unused size, 0, block number, used size, 0.
    for (int i = 0; i < blocks.size(); ++i) {
        const auto size = quint32(kHeaderSize + blocks[i].size());
        QByteArray header("RGDB");
        append32(header, size);
        append32(header, 0);
        append16(header, 0);
        append16(header, i);
        append32(header, size);
        header.append(kHeaderSize - header.size(), '\0');
        file.append(header).append(blocks[i]);
    }
    return file;
}

} // namespace creg
