#pragma once

#include "ScanTable.h"

#include <QSortFilterProxyModel>

// The bench's table narrowed to one kind of row (faults, wrong check
// digits, duplicates, unexpected codes), as the counters above it choose.
// Rows keep their order; new rows that match come in at the bottom.
class ScanFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit ScanFilter(ScanTable *table, QObject *parent = nullptr);

    void setOnly(ScanTable::Only only);
    ScanTable::Only only() const { return m_only; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    ScanTable::Only m_only = ScanTable::Only::All;
};
