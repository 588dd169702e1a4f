#pragma once

#include <QString>

#include <optional>
#include <utility>

// The reason an operation could not give its value, in the user's language.
struct Failed
{
    QString reason;
};

// A value, or the reason there is none: the one shape every "may fail"
// operation of the drive layer returns.
template <typename T>
class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failed failed) : m_reason(std::move(failed.reason)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return *m_value; }
    T &value() & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    const T &operator*() const & { return *m_value; }
    const T *operator->() const { return &*m_value; }

    // Empty when there is a value.
    const QString &reason() const { return m_reason; }

private:
    std::optional<T> m_value;
    QString m_reason;
};
