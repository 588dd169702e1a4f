#pragma once

#include "loading/startupfiles.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The order in which the machine reads its start-up files, which the audit
// reports in.
inline const startupfiles::Files &kLoadOrder = startupfiles::bootOrder;

// One file (or, for MSDOS.SYS, directory) that a line of a start-up file
// makes DOS or Windows load, and whether the drive has it. The texts are
// views into the AuditFindings that hold it.
struct AuditFinding
{
    const StartupFile *file = nullptr;
    int line = 0;        // index in the file's full list, from 0
    QByteArrayView name; // as the line writes it
    QByteArrayView path; // the DOS path where it was found; when missing,
                         // where it was looked for first (upper-cased)
    bool found = false;
    // Where the name is written when not on the line itself: the DOS path
    // of a batch file the line runs (CALL GO.BAT), of the hive or shortcut
    // a line of the start-up page stands for; empty otherwise. sourceLine is
    // the line in that file (-1 for a hive or shortcut), sourceKey the
    // registry key and value ("[HKLM\...\Run] ScanRegistry").
    QByteArrayView source;
    int sourceLine = 0;
    QByteArrayView sourceKey;
};

// The findings of an audit, in order. An audit of a large file makes one
// finding per line, so their texts share one buffer rather than costing an
// allocation each; a finding's views stay valid while the list lives and is
// not added to.
class AuditFindings
{
public:
    qsizetype size() const { return static_cast<qsizetype>(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }
    AuditFinding at(qsizetype i) const;
    // Where the findings of a line stand: [first, last). The findings must
    // be in line order, as those of one file are.
    std::pair<qsizetype, qsizetype> findingsOfLine(int line) const;
    // Room for so many findings of a typical length.
    void reserve(qsizetype findings);

    void append(const StartupFile *file, int line, QByteArrayView name, QByteArrayView path, bool found,
                QByteArrayView source = {}, int sourceLine = 0, QByteArrayView sourceKey = {});
    void append(const AuditFinding &finding)
    {
        append(finding.file, finding.line, finding.name, finding.path, finding.found, finding.source,
               finding.sourceLine, finding.sourceKey);
    }
    AuditFindings &operator+=(const AuditFindings &other);

    class const_iterator
    {
    public:
        const_iterator(const AuditFindings *list, qsizetype i) : m_list(list), m_i(i) {}
        AuditFinding operator*() const { return m_list->at(m_i); }
        const_iterator &operator++()
        {
            ++m_i;
            return *this;
        }
        bool operator!=(const const_iterator &other) const { return m_i != other.m_i; }
        bool operator==(const const_iterator &other) const { return m_i == other.m_i; }

    private:
        const AuditFindings *m_list;
        qsizetype m_i;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    struct Record
    {
        const StartupFile *file;
        std::int32_t line;
        std::uint32_t start;      // of the name in m_text; the path, source and key follow it
        std::uint32_t nameLength;
        std::uint32_t pathLength;
        std::uint32_t sourceLength;
        std::uint32_t keyLength;
        std::int32_t sourceLine;
        bool found;
    };

    std::vector<Record> m_records;
    std::string m_text;
};
