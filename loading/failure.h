#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A failure raised by a file or list operation. It ends the running handler
// and is shown to the user by the failure report.
class Failure : public std::exception
{
public:
    explicit Failure(QString message);
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Reading or replacing a line outside a list.
class IndexError : public Failure
{
public:
    IndexError(int index, int count);
};

// A start-up file that cannot be read; the message names its DOS path and why.
class FileError : public Failure
{
public:
    FileError(const QString &dosPath, const QString &reason);
    const QString &dosPath() const noexcept { return m_dosPath; }
    const QString &reason() const noexcept { return m_reason; }

private:
    QString m_dosPath, m_reason;
};
