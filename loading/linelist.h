#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QItemSelectionModel>

#include <cstdint>
#include <limits>
#include <vector>

// An ordered list of text lines, shown as a single-selection list. The lines
// are Windows-1252 bytes; they are kept in one buffer with a small span per
// line, so a file of hundreds of thousands of lines costs little more than its
// own size. A selection set by the program scrolls the view to it (through
// selectionSetByProgram) and is not reported as the user's selection change.
class LineList : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit LineList(QObject *parent = nullptr);

    // Replaces every line with the lines of a file's contents.
    void replaceWithText(QByteArray text);
    void clear();
    // Takes every line of `from`, which is left empty, without a copy and
    // without a signal of `from`'s: a list another thread filled hands its
    // lines over this way once that thread is done.
    void takeLines(LineList &from);
    void append(QByteArrayView line);
    QByteArray line(int index) const;    // throws IndexError
    // The line without a copy; valid until the list next changes.
    QByteArrayView lineView(int index) const; // throws IndexError
    void setLine(int index, QByteArrayView text); // throws IndexError
    int count() const { return static_cast<int>(m_spans.size()); }

    int selectedIndex() const;
    void setSelectedIndex(int index);    // -1 clears; throws IndexError
    QByteArray selectedLine() const { return line(selectedIndex()); }

    QItemSelectionModel *selectionModel() { return &m_selection; }

    // Roles beyond the text (a colour, a tooltip), given by whoever marks
    // lines; without them the list shows its text and nothing else.
    using ExtraRoles = std::function<QVariant(int row, int role)>;
    void setExtraRoles(ExtraRoles roles) { m_extraRoles = std::move(roles); }
    // Tells the views that the extra roles of the rows first to last changed.
    void extraRolesChanged(int first, int last, const QList<int> &roles);

    // Bytes held, for the memory figures of the benchmark.
    qsizetype bytesHeld() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The most lines a list holds: line numbers are ints.
    static constexpr int kMaxLines = std::numeric_limits<int>::max() - 1;

    // The longest text shown for one row; the line itself is always kept whole.
    static constexpr int kMaxShownChars = 4096;

signals:
    void selectionChangedByUser();
    void selectionSetByProgram(const QModelIndex &index);

private:
    struct Span
    {
        std::uint32_t start;
        std::uint32_t length;
    };

    void checkIndex(int index) const;
    QByteArrayView view(const Span &span) const;
    Span store(QByteArrayView text);
    void onSelectionChanged();

    QByteArray m_text;
    std::vector<Span> m_spans;
    qsizetype m_unusedBytes = 0;
    QItemSelectionModel m_selection;
    bool m_programSelects = false;
    ExtraRoles m_extraRoles;
};
