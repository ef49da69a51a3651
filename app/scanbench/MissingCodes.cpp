#include "MissingCodes.h"

#include "BenchReport.h"

void MissingCodes::set(std::shared_ptr<const CodeList> list, std::vector<quint32> missing)
{
    beginResetModel();
    m_list = std::move(list);
    m_missing = std::move(missing);
    endResetModel();
}

int MissingCodes::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_missing.size());
}

QVariant MissingCodes::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_missing.size() || role != Qt::DisplayRole)
        return {};
    return QString::fromUtf8(BenchReport::escaped(m_list->at(m_missing[size_t(index.row())]).toByteArray()));
}
