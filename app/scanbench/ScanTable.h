#pragma once

#include "ScanTally.h"
#include "Symbology.h"

#include <QAbstractTableModel>
#include <QByteArray>

#include <deque>

// One framed scan as the bench shows it.
struct ScanRow {
    qint64 number = 0;  // from 1 since the last reset; rows that left keep theirs
    qint64 wallMs = 0;  // when its first byte arrived, in ms since the epoch
    qint64 gapMs = -1;  // since the first byte of the scan before; -1 for the first
    QByteArray data;    // as sent, AIM identifier included, terminator left out
    Symbology symbology;
    ScanTally::Mark mark = ScanTally::Mark::None;
    bool cut = false;   // a piece of an over-long scan
};

// The bench's table of scans, newest at the bottom.
//
// Memory is bounded as in the reception box: past MaxRows rows, or
// MaxDataBytes of data, the oldest rows leave, and left() counts them. The
// hex column and the shown data are made only for the rows on screen.
class ScanTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Number, Received, Gap, Length, Kind, Check, Mark, Data, Hex, ColumnCount };
    // What the table may be narrowed to (ScanFilter).
    enum class Only { All, Faults, CheckFaults, Duplicates, Unexpected };
    static constexpr qsizetype MaxRows = 100000;
    static constexpr qsizetype MaxDataBytes = qsizetype(32) << 20;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Adds rows at the bottom, in one insertion, then lets the oldest go.
    void append(std::deque<ScanRow> rows);
    void clear();
    const std::deque<ScanRow> &rows() const { return m_rows; }
    qint64 left() const { return m_left; }
    // Rows held that have a fault (hasFault()).
    qint64 faulty() const { return m_faulty; }

    // Why a row stands out, in French, one reason a line: a wrong check
    // digit, a code that breaks its symbology's or GS1's rules, a code
    // not in the list, a no-read, a scan cut or left unfinished. Empty
    // for a row without fault. Faulty rows are tinted, with the reasons
    // in their tooltip.
    static QString faultOf(const ScanRow &row);
    // faultOf() is not empty, without making its text.
    static bool hasFault(const ScanRow &row);
    static bool shows(const ScanRow &row, Only only);

    // The texts of a row's cells, as shown.
    static QString receivedText(qint64 wallMs);
    static QString shownData(const QByteArray &data);
    static QString hexText(const QByteArray &data);

private:
    // A cell's text; `tip` for its tooltip, which says more of the data.
    static QString cellText(const ScanRow &row, int column, bool tip);

    std::deque<ScanRow> m_rows;
    qsizetype m_bytes = 0;
    qint64 m_left = 0;
    qint64 m_faulty = 0;
};
