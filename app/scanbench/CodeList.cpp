#include "CodeList.h"

#include <QHashFunctions>

QByteArrayView CodeList::at(qsizetype i) const
{
    const quint32 from = i == 0 ? 0 : m_ends[size_t(i - 1)];
    return QByteArrayView(m_data).sliced(from, m_ends[size_t(i)] - from);
}

size_t CodeList::slotOf(QByteArrayView code) const
{
    return qHash(code) & (m_slots.size() - 1);
}

qsizetype CodeList::indexOf(QByteArrayView code) const
{
    if (m_slots.empty())
        return -1;
    for (size_t s = slotOf(code);; s = (s + 1) & (m_slots.size() - 1)) {
        const qint32 i = m_slots[s];
        if (i < 0)
            return -1;
        if (at(i) == code)
            return i;
    }
}

bool CodeList::add(QByteArrayView code)
{
    if (indexOf(code) >= 0)
        return false;
    // Kept at most half full, so that a probe stays short.
    if ((m_ends.size() + 1) * 2 > m_slots.size())
        grow();
    m_data.append(code.data(), code.size());
    m_ends.push_back(quint32(m_data.size()));
    size_t s = slotOf(code);
    while (m_slots[s] >= 0)
        s = (s + 1) & (m_slots.size() - 1);
    m_slots[s] = qint32(m_ends.size() - 1);
    return true;
}

void CodeList::grow()
{
    m_slots.assign(std::max<size_t>(16, m_slots.size() * 2), -1);
    for (size_t i = 0; i < m_ends.size(); ++i) {
        size_t s = slotOf(at(qsizetype(i)));
        while (m_slots[s] >= 0)
            s = (s + 1) & (m_slots.size() - 1);
        m_slots[s] = qint32(i);
    }
}

QList<QByteArray> CodeList::toList() const
{
    QList<QByteArray> out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out.append(at(i).toByteArray());
    return out;
}
