#pragma once

#include "drives/boundedprocess.h"
#include "drives/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

// What the start-up reads of a Windows 95/98 registry file (SYSTEM.DAT,
// USER.DAT): the string values of some keys, and the sub-keys of others
// with their values. Read through libcreg in a forked copy of the program
// bounded in time and memory (hives come from strangers' disks and the
// library is young), after the hive's blocks and key tree are checked.
// Every list is bounded. Texts are Windows-1252 bytes as the hive holds them.
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

    // Reads the string values (REG_SZ, REG_EXPAND_SZ) of each key of
    // `keys`, and of each sub-key of each key of `parents`; paths are names
    // separated by "\" ("Software\Microsoft\Windows\CurrentVersion\Run"),
    // in any case.
    static Result<RegistryHive> read(QByteArray bytes, const QList<QByteArray> &keys,
                                     const QList<QByteArray> &parents);
    // The same, in this process: for the copy that read() forks, and for
    // the fuzzer.
    static Result<RegistryHive> readHere(const QByteArray &bytes, const QList<QByteArray> &keys,
                                         const QList<QByteArray> &parents);
    // read() in two halves, so that several files can be read in one copy:
    // the work the copy is given, whose answer it sends back, and the hive
    // (or the failure) that answer holds, once it is back.
    static IsolatedWork work(const QByteArray &bytes, const QList<QByteArray> &keys, const QList<QByteArray> &parents);
    static Result<RegistryHive> fromAnswer(const Result<QByteArray> &answer);

    // A key's string values, in the hive's order; none when it is absent or
    // was not read.
    QList<Value> stringValues(QByteArrayView path) const;
    // The names of a key of `parents`' sub-keys, in the hive's order.
    QList<QByteArray> subKeys(QByteArrayView path) const;

private:
    // What the copy works out of a work's input and sends back.
    static QByteArray answerWork(QByteArrayView input);
    QByteArray serialised() const;
    static Result<RegistryHive> fromSerialised(const QByteArray &bytes);

    QHash<QByteArray, QList<Value>> m_values;       // by upper-cased path
    QHash<QByteArray, QList<QByteArray>> m_subKeys; // by upper-cased path
};
