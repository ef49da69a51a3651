#include "ScanFilter.h"

ScanFilter::ScanFilter(ScanTable *table, QObject *parent) : QSortFilterProxyModel(parent), m_table(table)
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
    const std::deque<ScanRow> &rows = m_table->rows();
    return sourceRow >= 0 && size_t(sourceRow) < rows.size() && ScanTable::shows(rows[size_t(sourceRow)], m_only);
}
