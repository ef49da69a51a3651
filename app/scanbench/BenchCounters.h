#pragma once

#include "ScanTable.h"

#include <QWidget>

class QButtonGroup;
class QLabel;
class QToolButton;

// The counters above the bench's table, each one a filter: "Scans : 12"
// shows every row, "Défauts : 2" only the rows that have a fault,
// "Contrôle faux", "Doublons" and "Inattendus" only theirs. The one chosen
// stays pressed. What is not a filter (the missing codes, the rows that
// left the table, the scan in progress) follows as plain text.
class BenchCounters : public QWidget
{
    Q_OBJECT
public:
    struct Counts {
        qint64 scans = 0;
        qint64 faults = 0;      // rows held that have a fault
        qint64 checkFaults = 0;
        qint64 duplicates = 0;
        qint64 unexpected = -1; // -1: no list loaded
        QString rest;           // "Manquants : 3 sur 10   Scan en cours : 4 octets"
    };

    explicit BenchCounters(QWidget *parent = nullptr);

    void setCounts(const Counts &counts);
    // The counters as one line, as shown: "Scans : 5   Défauts : 1   ...".
    QString text() const;
    ScanTable::Only only() const { return m_only; }
    // Presses the counter of `only`, as a click does.
    void choose(ScanTable::Only only);

signals:
    void onlyChosen(ScanTable::Only only);

private:
    QToolButton *button(ScanTable::Only only) const;

    QButtonGroup *m_group;
    QLabel *m_rest;
    ScanTable::Only m_only = ScanTable::Only::All;
};
