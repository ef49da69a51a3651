#pragma once

#include "CodeList.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The counters of a bench session, and the test card's list of expected
// codes that each scan is ticked off against.
//
// A scan's code is its data after any AIM identifier. The first scan of a
// code is "attendu" when the list holds it, "inattendu" when a list is
// loaded and does not; a later scan of a code already seen is "doublon".
// Without a list, first scans are not marked.
//
// Every code of the list is remembered as seen or not, however long the
// list (a million codes is a day's stock-take). Codes not in the list are
// remembered up to MaxRemembered distinct ones: past that, a flood of
// distinct codes is still counted but its repeats are no longer told
// apart, and duplicatesComplete() says so.
class ScanTally
{
public:
    // Unfinished: what came of a scan before its line closed; not a code.
    // NoRead: a trigger of the read-rate test that brought no scan.
    // ReadRate: a scan of the read-rate test, counted in the test only.
    enum class Mark { None, Expected, Unexpected, Duplicate, Reply, Unfinished, NoRead, ReadRate };
    static constexpr qsizetype MaxRemembered = 200000;

    // The list, in the card's order; loading one starts the count again.
    void setExpected(std::shared_ptr<const CodeList> codes);
    const CodeList &expected() const { return *m_expected; }
    std::shared_ptr<const CodeList> expectedList() const { return m_expected; }
    bool hasList() const { return !m_expected->isEmpty(); }

    // Counts one scan and says how it stands against the list.
    Mark count(const QByteArray &code, bool checkFault);
    // Back to no scan counted; the list stays.
    void reset();

    qint64 scans() const { return m_scans; }
    qint64 checkFaults() const { return m_checkFaults; }
    qint64 unexpected() const { return m_unexpected; }
    qint64 duplicates() const { return m_duplicates; }
    bool duplicatesComplete() const { return m_seen.size() < MaxRemembered; }
    // The expected codes not scanned yet, in the card's order: their
    // places in expected(), or the codes.
    std::vector<quint32> missingIndices() const;
    QList<QByteArray> missing() const;
    qsizetype missingCount() const { return m_expected->size() - m_expectedSeen; }

    static QString markText(Mark mark);
    // The codes of a list file as people write them: one a line (CR LF or
    // LF), each trimmed of spaces and tabs; blank lines, lines that start
    // with # and a leading UTF-8 byte order mark left out; for a
    // spreadsheet's export (";" or "," on every line), each line's first
    // field. Repeats are kept once and counted.
    struct ListFile {
        CodeList codes;
        qsizetype repeats = 0; // lines that repeat a code before them
    };
    // `going`, when given, is told how far the reading is (0 to 100) now
    // and then; when it answers false, the reading stops, its list cut
    // short.
    static ListFile parseList(const QByteArray &file, const std::function<bool(int percent)> &going = {});

private:
    std::shared_ptr<const CodeList> m_expected = std::make_shared<const CodeList>();
    std::vector<bool> m_expectedSeenFlags; // by place in the list
    QSet<QByteArray> m_seen;               // codes not in the list
    qsizetype m_expectedSeen = 0;
    qint64 m_scans = 0;
    qint64 m_checkFaults = 0;
    qint64 m_unexpected = 0;
    qint64 m_duplicates = 0;
};
