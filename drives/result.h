#pragma once

#include <QString>

#include <optional>
#include <utility>

// What kind of failure a read met, for callers that act on it rather than
// show it.
enum class FailureKind {
    Other,
    Missing,      // no such file or directory
    Denied,       // no permission
    NotRegular,   // a directory, FIFO or device
    TooLarge,     // more than can be held
    OutsideDrive, // a link that leads out of the drive
    DamagedImage, // the disk image is damaged, cut off or refused
    NoDrive,      // no drive has that letter
};

// The reason an operation could not give its value, in the user's language,
// and its kind.
struct Failed
{
    QString reason;
    FailureKind kind = FailureKind::Other;
};

// A value, or the reason there is none: the one shape every "may fail"
// operation of the drive layer returns.
template <typename T>
class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failed failed) : m_reason(std::move(failed.reason)), m_kind(failed.kind) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return *m_value; }
    T &value() & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    const T &operator*() const & { return *m_value; }
    const T *operator->() const { return &*m_value; }

    // Empty when there is a value.
    const QString &reason() const { return m_reason; }
    FailureKind kind() const { return m_kind; }
    // The failure as it was given, to pass on.
    Failed failure() const { return Failed{m_reason, m_kind}; }

private:
    std::optional<T> m_value;
    QString m_reason;
    FailureKind m_kind = FailureKind::Other;
};
