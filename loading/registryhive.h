#pragma once

#include "drives/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <memory>

// A Windows 95/98 registry file (SYSTEM.DAT, USER.DAT) read from its bytes
// through libcreg: the string values of a key, and the names of its
// sub-keys. Hives come from strangers' disks: a damaged one gives a failure,
// and every list is bounded. Texts are Windows-1252 bytes as the hive holds
// them.
class RegistryHive
{
public:
    // The largest hive read: a real SYSTEM.DAT holds a few MiB.
    static constexpr qsizetype kLargestHive = qsizetype(64) << 20;
    // The most values or sub-keys read of one key.
    static constexpr int kMostEntries = 4096;

    struct Value
    {
        QByteArray name; // empty for the key's default value
        QByteArray text;
    };

    static Result<std::shared_ptr<RegistryHive>> open(QByteArray bytes);
    ~RegistryHive();
    RegistryHive(const RegistryHive &) = delete;
    RegistryHive &operator=(const RegistryHive &) = delete;

    // The string values (REG_SZ, REG_EXPAND_SZ) of the key at a path of
    // names separated by "\" ("Software\Microsoft\Windows\CurrentVersion\Run",
    // any case), in the hive's order; none when the key is absent.
    QList<Value> stringValues(QByteArrayView path) const;
    // The names of the key's sub-keys, in the hive's order.
    QList<QByteArray> subKeys(QByteArrayView path) const;

private:
    struct Handles;
    explicit RegistryHive(QByteArray bytes);
    struct Key;
    std::unique_ptr<Key> key(QByteArrayView path) const;

    QByteArray m_bytes; // what the library reads, for as long as the hive lives
    std::unique_ptr<Handles> m_handles;
};
