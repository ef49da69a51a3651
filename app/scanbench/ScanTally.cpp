#include "ScanTally.h"

void ScanTally::setExpected(const QList<QByteArray> &codes)
{
    m_expected = codes;
    m_expectedSet = QSet<QByteArray>(codes.begin(), codes.end());
    reset();
}

void ScanTally::reset()
{
    m_seen.clear();
    m_expectedSeen = 0;
    m_scans = m_checkFaults = m_unexpected = m_duplicates = 0;
}

ScanTally::Mark ScanTally::count(const QByteArray &code, bool checkFault)
{
    ++m_scans;
    if (checkFault)
        ++m_checkFaults;
    if (m_seen.contains(code)) {
        ++m_duplicates;
        return Mark::Duplicate;
    }
    const bool listed = m_expectedSet.contains(code);
    if (listed || m_seen.size() < MaxRemembered)
        m_seen.insert(code);
    if (listed) {
        ++m_expectedSeen;
        return Mark::Expected;
    }
    if (!hasList())
        return Mark::None;
    ++m_unexpected;
    return Mark::Unexpected;
}

QList<QByteArray> ScanTally::missing() const
{
    QList<QByteArray> out;
    for (const QByteArray &code : m_expected)
        if (!m_seen.contains(code))
            out.append(code);
    return out;
}

QString ScanTally::markText(Mark mark)
{
    switch (mark) {
    case Mark::Expected: return QStringLiteral("attendu");
    case Mark::Unexpected: return QStringLiteral("inattendu");
    case Mark::Duplicate: return QStringLiteral("doublon");
    case Mark::Reply: return QStringLiteral("réponse");
    case Mark::None: break;
    }
    return {};
}

QList<QByteArray> ScanTally::parseList(const QByteArray &file)
{
    QByteArrayView rest(file);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    QList<QByteArray> codes;
    QSet<QByteArray> kept;
    while (!rest.isEmpty()) {
        qsizetype end = rest.indexOf('\n');
        QByteArrayView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray code = line.toByteArray();
        if (!code.isEmpty() && !kept.contains(code)) {
            kept.insert(code);
            codes.append(code);
        }
    }
    return codes;
}
