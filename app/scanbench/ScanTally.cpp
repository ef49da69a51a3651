#include "ScanTally.h"

#include <algorithm>

void ScanTally::setExpected(std::shared_ptr<const CodeList> codes)
{
    m_expected = codes ? std::move(codes) : std::make_shared<const CodeList>();
    reset();
}

void ScanTally::reset()
{
    m_seen.clear();
    m_expectedSeenFlags.assign(size_t(m_expected->size()), false);
    m_expectedSeen = 0;
    m_scans = m_checkFaults = m_unexpected = m_duplicates = 0;
}

ScanTally::Mark ScanTally::count(const QByteArray &code, bool checkFault)
{
    ++m_scans;
    if (checkFault)
        ++m_checkFaults;
    if (const qsizetype at = m_expected->indexOf(code); at >= 0) {
        if (m_expectedSeenFlags[size_t(at)]) {
            ++m_duplicates;
            return Mark::Duplicate;
        }
        m_expectedSeenFlags[size_t(at)] = true;
        ++m_expectedSeen;
        return Mark::Expected;
    }
    if (m_seen.contains(code)) {
        ++m_duplicates;
        return Mark::Duplicate;
    }
    if (m_seen.size() < MaxRemembered)
        m_seen.insert(code);
    if (!hasList())
        return Mark::None;
    ++m_unexpected;
    return Mark::Unexpected;
}

std::vector<quint32> ScanTally::missingIndices() const
{
    std::vector<quint32> out;
    out.reserve(size_t(missingCount()));
    for (size_t i = 0; i < m_expectedSeenFlags.size(); ++i)
        if (!m_expectedSeenFlags[i])
            out.push_back(quint32(i));
    return out;
}

QList<QByteArray> ScanTally::missing() const
{
    QList<QByteArray> out;
    for (quint32 i : missingIndices())
        out.append(m_expected->at(i).toByteArray());
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

ScanTally::ListFile ScanTally::parseList(const QByteArray &file, const std::function<bool(int percent)> &going)
{
    QByteArrayView all(file);
    if (all.startsWith("\xEF\xBB\xBF"))
        all = all.sliced(3);
    // Calls `each` with every line that holds a code (trimmed, neither
    // blank nor a comment); stops when it answers false.
    const auto lines = [all](const auto &each) {
        QByteArrayView rest = all;
        while (!rest.isEmpty()) {
            const qsizetype end = rest.indexOf('\n');
            const QByteArrayView line = trimmed(end < 0 ? rest : rest.first(end));
            rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
            if (!line.isEmpty() && !line.startsWith('#') && !each(line, all.size() - rest.size()))
                return;
        }
    };
    // A spreadsheet's export has its separator on every line: then each
    // line's code is its first field. A separator on some lines only is
    // part of those codes (a comma in GS1 data).
    bool everySemicolon = true, everyComma = true, any = false;
    lines([&](QByteArrayView line, qsizetype) {
        any = true;
        everySemicolon = everySemicolon && line.contains(';');
        everyComma = everyComma && line.contains(',');
        return everySemicolon || everyComma;
    });
    const char separator = !any ? 0 : everySemicolon ? ';' : everyComma ? ',' : 0;

    ListFile list;
    list.codes.reserveBytes(all.size());
    int told = -1;
    lines([&](QByteArrayView line, qsizetype done) {
        const QByteArray field = separator ? firstField(line, separator) : QByteArray();
        const QByteArrayView code = separator ? QByteArrayView(field) : line;
        if (!code.isEmpty() && !list.codes.add(code))
            ++list.repeats;
        const int percent = int(qint64(done) * 100 / qMax<qsizetype>(1, all.size()));
        if (going && percent != told) {
            told = percent;
            return going(percent);
        }
        return true;
    });
    return list;
}
