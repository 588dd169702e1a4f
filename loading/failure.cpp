#include "loading/failure.h"

Failure::Failure(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

IndexError::IndexError(int index, int count)
    : Failure(QStringLiteral("Linjenummer %1 er utenfor listen (%2 linjer).").arg(index).arg(count))
{
}

FileError::FileError(const QString &dosPath, const QString &reason)
    : Failure(QStringLiteral("Kan ikke lese %1: %2.").arg(dosPath, reason)), m_dosPath(dosPath), m_reason(reason)
{
}
