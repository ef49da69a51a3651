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

    // The texts of a row's cells, as shown.
    static QString receivedText(qint64 wallMs);
    static QString shownData(const QByteArray &data);
    static QString hexText(const QByteArray &data);

private:
    std::deque<ScanRow> m_rows;
    qsizetype m_bytes = 0;
    qint64 m_left = 0;
};
