#include "ReceptionLine.h"

QString ReceptionLine::toolTip() const
{
    QString text = QStringLiteral("Reçu le ") + m_taken.toString(QStringLiteral("dd/MM/yyyy"))
        + QStringLiteral(" à ") + m_taken.toString(QStringLiteral("HH:mm:ss,zzz")) + QStringLiteral(" — ")
        + QString::number(m_length) + (m_length == 1 ? QStringLiteral(" octet") : QStringLiteral(" octets"));
    if (!m_head.isEmpty()) {
        text += QLatin1Char('\n') + QString::fromLatin1(m_head.toHex(' ').toUpper());
        if (m_length > m_head.size())
            text += QStringLiteral(" …");
    }
    return text;
}

void ReceptionLine::addBytes(QByteArrayView part)
{
    m_bytes += part;
}

QString ReceptionLine::stamp(const QDateTime &taken)
{
    return taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}
