#include "CommControl.h"

void CommControl::raiseError(CommError error, const QString &detail)
{
    m_lastError = error;
    m_errorDetail = detail;
    emit errorOccurred(error);
}

void CommControl::clearError()
{
    m_lastError = CommError::None;
    m_errorDetail.clear();
}
