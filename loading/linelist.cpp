#include "loading/linelist.h"

#include "drives/ansitext.h"
#include "loading/failure.h"
#include "loading/linereader.h"

#include <QCoreApplication>
#include <QScopedValueRollback>

#include <limits>

namespace {
// Spans index the buffer with 32 bits; longer texts are refused up front.
constexpr qsizetype kMaxBuffer = std::numeric_limits<std::uint32_t>::max();
}

LineList::LineList(QObject *parent)
    : QAbstractListModel(parent), m_selection(this)
{
    connect(&m_selection, &QItemSelectionModel::selectionChanged, this,
            &LineList::onSelectionChanged);
}

void LineList::replaceWithText(QByteArray text)
{
    if (text.size() > kMaxBuffer)
        throw Failure(QCoreApplication::translate("loading", "Filen er for stor (%1 byte).").arg(text.size()));
    std::vector<Span> spans;
    spans.reserve(static_cast<size_t>(text.size() / 24 + 1)); // a typical line and its break
    LineReader reader(text);
    while (!reader.atEnd()) {
        const LineReader::Span s = reader.nextSpan();
        spans.push_back({static_cast<std::uint32_t>(s.start), static_cast<std::uint32_t>(s.length)});
        // Line numbers are ints, as in every list of the window.
        if (spans.size() > size_t(kMaxLines))
            throw Failure(QCoreApplication::translate("loading", "Filen har for mange linjer (over %1).").arg(kMaxLines));
    }
    const QScopedValueRollback guard(m_programSelects, true);
    beginResetModel();
    m_text = std::move(text);
    m_spans = std::move(spans);
    m_unusedBytes = m_text.size();
    for (const Span &s : m_spans)
        m_unusedBytes -= s.length;
    endResetModel();
}

void LineList::clear()
{
    const QScopedValueRollback guard(m_programSelects, true);
    beginResetModel();
    m_text.clear();
    m_spans.clear();
    m_unusedBytes = 0;
    endResetModel();
}

void LineList::takeLines(LineList &from)
{
    const QScopedValueRollback guard(m_programSelects, true);
    beginResetModel();
    m_text = std::exchange(from.m_text, QByteArray());
    m_spans = std::exchange(from.m_spans, {});
    m_unusedBytes = std::exchange(from.m_unusedBytes, 0);
    endResetModel();
}

void LineList::append(QByteArrayView line)
{
    if (count() >= kMaxLines)
        throw Failure(QCoreApplication::translate("loading", "Listen kan ikke holde flere linjer."));
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    m_spans.push_back(store(line));
    endInsertRows();
}

QByteArray LineList::line(int index) const
{
    return lineView(index).toByteArray();
}

QByteArrayView LineList::lineView(int index) const
{
    checkIndex(index);
    return view(m_spans[static_cast<size_t>(index)]);
}

void LineList::setLine(int index, QByteArrayView text)
{
    checkIndex(index);
    Span &old = m_spans[static_cast<size_t>(index)];
    if (text.size() <= old.length) {
        // Fits where the old text stood: overwrite in place.
        std::copy(text.begin(), text.end(), m_text.begin() + old.start);
        m_unusedBytes += old.length - text.size();
        old.length = static_cast<std::uint32_t>(text.size());
    } else {
        m_unusedBytes += old.length;
        old = store(text);
    }
    const QModelIndex changed = QAbstractListModel::index(index);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

int LineList::selectedIndex() const
{
    const QModelIndexList rows = m_selection.selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void LineList::setSelectedIndex(int index)
{
    const QScopedValueRollback guard(m_programSelects, true);
    if (index == -1) {
        m_selection.clear();
        return;
    }
    checkIndex(index);
    const QModelIndex target = QAbstractListModel::index(index);
    m_selection.setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    emit selectionSetByProgram(target);
}

qsizetype LineList::bytesHeld() const
{
    return m_text.capacity() + static_cast<qsizetype>(m_spans.capacity() * sizeof(Span));
}

int LineList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant LineList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role != Qt::DisplayRole)
        return m_extraRoles ? m_extraRoles(index.row(), role) : QVariant();
    const QByteArrayView text = view(m_spans[static_cast<size_t>(index.row())]);
    return ansi::decode(text.first(std::min<qsizetype>(text.size(), kMaxShownChars)));
}

void LineList::extraRolesChanged(int first, int last, const QList<int> &roles)
{
    if (first > last || first < 0 || last >= count())
        return;
    emit dataChanged(QAbstractListModel::index(first), QAbstractListModel::index(last), roles);
}

void LineList::checkIndex(int index) const
{
    if (index < 0 || index >= count())
        throw IndexError(index, count());
}

QByteArrayView LineList::view(const Span &span) const
{
    return QByteArrayView(m_text).sliced(span.start, span.length);
}

LineList::Span LineList::store(QByteArrayView text)
{
    // Edits and appends go to the end of the buffer; when the dead bytes left
    // by replaced lines outweigh the live ones, the buffer is packed again.
    if (m_unusedBytes > 4096 && m_unusedBytes > m_text.size() / 2) {
        QByteArray packed;
        packed.reserve(m_text.size() - m_unusedBytes + text.size());
        for (Span &s : m_spans) {
            const qsizetype start = packed.size();
            packed.append(view(s));
            s.start = static_cast<std::uint32_t>(start);
        }
        m_text = std::move(packed);
        m_unusedBytes = 0;
    }
    if (m_text.size() + text.size() > kMaxBuffer)
        throw Failure(QCoreApplication::translate("loading", "Listen kan ikke holde mer tekst."));
    const Span span{static_cast<std::uint32_t>(m_text.size()), static_cast<std::uint32_t>(text.size())};
    m_text.append(text.data(), text.size());
    return span;
}

void LineList::onSelectionChanged()
{
    if (!m_programSelects)
        emit selectionChangedByUser();
}
