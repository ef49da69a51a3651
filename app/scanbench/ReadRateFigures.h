#pragma once

#include <QList>
#include <QString>

// The figures of a read-rate test: good reads and no-reads, and the
// trigger-to-data times of the good reads, from the write of the trigger
// to the arrival of the scan's first byte.
//
// Percentiles are by nearest rank: p50 of 4 times is the 2nd smallest.
// The histogram's bins are those scanner makers' utilities use, in ms:
// ≤75, ≤110, ≤170, ≤300, ≤600, ≤1 000, ≤1 500, >1 500.
struct ReadRateFigures {
    static constexpr int BinLimits[] = {75, 110, 170, 300, 600, 1000, 1500};
    static constexpr int BinCount = 8;

    int triggers = 0;
    int noReads = 0;
    QList<qint64> timesMs; // one per good read, in order
    bool stopped = false;  // ended by the operator or a closed port before the last trigger

    int goodReads() const { return int(timesMs.size()); }
    // Nearest-rank percentile of the times; -1 when there is none.
    qint64 percentile(int p) const;
    qint64 maximum() const;
    QList<int> histogram() const;
    static QString binName(int bin); // "≤75 ms", ">1 500 ms"

    // "93 bonnes lectures sur 100 (93,0 %), 7 sans lecture"
    QString readsText() const;
    // "p50 41 ms, p95 44 ms, max 52 ms"
    QString timesText() const;
    // One line per bin: "≤75 ms       90  ██████████"
    QString histogramText() const;
};
