#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <vector>

// A list of distinct codes, in the order they were added, compact enough
// for a million of them: the bytes of all the codes in one block, where
// each one ends, and an open-addressing index of their positions. A
// million codes of 13 digits take about 26 MB, where a list and a set of
// QByteArray take several times that.
class CodeList
{
public:
    qsizetype size() const { return qsizetype(m_ends.size()); }
    bool isEmpty() const { return m_ends.empty(); }
    QByteArrayView at(qsizetype i) const;
    // Where `code` is, or -1.
    qsizetype indexOf(QByteArrayView code) const;
    bool contains(QByteArrayView code) const { return indexOf(code) >= 0; }
    // Adds `code` at the end; false, and nothing added, when it is there.
    bool add(QByteArrayView code);
    void reserveBytes(qsizetype bytes) { m_data.reserve(bytes); }
    QList<QByteArray> toList() const;

private:
    void grow();
    size_t slotOf(QByteArrayView code) const; // where its probe starts

    QByteArray m_data;
    std::vector<quint32> m_ends;  // code i is m_data[end(i-1), m_ends[i])
    std::vector<qint32> m_slots;  // code numbers, -1 for a free slot; a power of two long
};
