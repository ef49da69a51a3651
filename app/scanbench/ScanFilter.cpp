#include "ScanFilter.h"

ScanFilter::ScanFilter(ScanTable *table, QObject *parent) : QSortFilterProxyModel(parent)
{
    setSourceModel(table);
}

void ScanFilter::setOnly(ScanTable::Only only)
{
    if (only == m_only)
        return;
    m_only = only;
    invalidateRowsFilter();
}

bool ScanFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const std::deque<ScanRow> &rows = static_cast<const ScanTable *>(sourceModel())->rows();
    return sourceRow >= 0 && size_t(sourceRow) < rows.size() && ScanTable::shows(rows[size_t(sourceRow)], m_only);
}
