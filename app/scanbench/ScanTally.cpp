#include "ScanTally.h"

#include <algorithm>

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
    case Mark::Unfinished: return QStringLiteral("inachevé");
    case Mark::NoRead: return QStringLiteral("sans lecture");
    case Mark::ReadRate: return QStringLiteral("test de lecture");
    case Mark::None: break;
    }
    return {};
}

namespace {

QByteArrayView trimmed(QByteArrayView line)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.isEmpty() && blank(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && blank(line.back()))
        line.chop(1);
    return line;
}

// The first field of a spreadsheet's line: up to the separator, or a
// quoted field ("a;b" and "" for a quote inside).
QByteArray firstField(QByteArrayView line, char separator)
{
    if (!line.startsWith('"')) {
        const qsizetype at = line.indexOf(separator);
        return trimmed(at < 0 ? line : line.first(at)).toByteArray();
    }
    QByteArray field;
    for (qsizetype i = 1; i < line.size(); ++i) {
        if (line[i] != '"') {
            field += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            ++i;
        } else {
            break;
        }
    }
    return field;
}

} // namespace

ScanTally::ListFile ScanTally::parseList(const QByteArray &file)
{
    QByteArrayView rest(file);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    QList<QByteArrayView> lines;
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        const QByteArrayView line = trimmed(end < 0 ? rest : rest.first(end));
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (!line.isEmpty() && !line.startsWith('#'))
            lines.append(line);
    }
    // A spreadsheet's export has its separator on every line: then each
    // line's code is its first field. A separator on some lines only is
    // part of those codes (a comma in GS1 data).
    char separator = 0;
    for (const char c : {';', ','}) {
        if (!lines.isEmpty()
            && std::all_of(lines.begin(), lines.end(), [c](QByteArrayView l) { return l.contains(c); })) {
            separator = c;
            break;
        }
    }
    ListFile list;
    QSet<QByteArray> kept;
    for (const QByteArrayView line : std::as_const(lines)) {
        const QByteArray code = separator ? firstField(line, separator) : line.toByteArray();
        if (code.isEmpty())
            continue;
        if (kept.contains(code)) {
            ++list.repeats;
            continue;
        }
        kept.insert(code);
        list.codes.append(code);
    }
    return list;
}
