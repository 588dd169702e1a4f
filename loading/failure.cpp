#include "loading/failure.h"

#include <QCoreApplication>

Failure::Failure(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

IndexError::IndexError(int index, int count)
    : Failure(QCoreApplication::translate("loading", "Linjenummer %1 er utenfor listen (%2 linjer).").arg(index).arg(count))
{
}

FileError::FileError(const QString &dosPath, const QString &reason)
    : Failure(QCoreApplication::translate("loading", "Kan ikke lese %1: %2.").arg(dosPath, reason)), m_dosPath(dosPath), m_reason(reason)
{
}
