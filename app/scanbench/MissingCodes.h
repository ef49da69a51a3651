#pragma once

#include "CodeList.h"

#include <QAbstractListModel>

#include <memory>
#include <vector>

// The expected codes not read yet, as a list model: one row per code, its
// text made only when a view asks for it (control bytes as \xNN). It keeps
// the list it was given, so that a list loaded meanwhile does not change
// it under the view.
class MissingCodes : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void set(std::shared_ptr<const CodeList> list, std::vector<quint32> missing);
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const CodeList> m_list;
    std::vector<quint32> m_missing;
};
