#include "audit/auditfinding.h"

#include <algorithm>

AuditFinding AuditFindings::at(qsizetype i) const
{
    const Record &r = m_records[static_cast<size_t>(i)];
    const QByteArrayView text(m_text.data(), static_cast<qsizetype>(m_text.size()));
    const qsizetype source = qsizetype(r.start) + r.nameLength + r.pathLength;
    return {r.file,
            r.line,
            text.sliced(r.start, r.nameLength),
            text.sliced(r.start + r.nameLength, r.pathLength),
            r.found,
            text.sliced(source, r.sourceLength),
            r.sourceLine,
            text.sliced(source + r.sourceLength, r.keyLength)};
}

void AuditFindings::reserve(qsizetype findings)
{
    m_records.reserve(static_cast<size_t>(findings));
    m_text.reserve(static_cast<size_t>(findings) * 48); // a name and its path, "C:\\WINDOWS\\HIMEM.SYS" twice
}

void AuditFindings::append(const StartupFile *file, int line, QByteArrayView name, QByteArrayView path, bool found,
                           QByteArrayView source, int sourceLine, QByteArrayView sourceKey)
{
    const auto start = static_cast<std::uint32_t>(m_text.size());
    for (const QByteArrayView text : {name, path, source, sourceKey})
        m_text.append(text.data(), static_cast<size_t>(text.size()));
    m_records.push_back({file, line, start, static_cast<std::uint32_t>(name.size()),
                         static_cast<std::uint32_t>(path.size()), static_cast<std::uint32_t>(source.size()),
                         static_cast<std::uint32_t>(sourceKey.size()), sourceLine, found});
}

AuditFindings &AuditFindings::operator+=(const AuditFindings &other)
{
    for (const AuditFinding &finding : other)
        append(finding);
    return *this;
}

std::pair<qsizetype, qsizetype> AuditFindings::findingsOfLine(int line) const
{
    struct ByLine
    {
        bool operator()(const Record &r, int l) const { return r.line < l; }
        bool operator()(int l, const Record &r) const { return l < r.line; }
    };
    const auto range = std::equal_range(m_records.begin(), m_records.end(), line, ByLine());
    return {range.first - m_records.begin(), range.second - m_records.begin()};
}
