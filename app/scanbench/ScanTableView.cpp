#include "ScanTableView.h"

#include "PlainToolTips.h"
#include "ScanTable.h"

#include <QHeaderView>
#include <QScrollBar>

ScanTableView::ScanTableView(ScanTable *model, QWidget *parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("scans"));
    setModel(model);
    setAccessibleName(QStringLiteral("Scans"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    (new PlainToolTips(this))->watchItems(this);
    QScrollBar *bar = verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int max) {
        if (m_following)
            bar->setValue(max);
    });
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { m_following = value == bar->maximum(); });
    const int widths[ScanTable::ColumnCount] = {60, 95, 80, 70, 170, 120, 80, 220, 200};
    for (int c = 0; c < ScanTable::ColumnCount; ++c)
        setColumnWidth(c, widths[c]);
}

void ScanTableView::showModel(QAbstractItemModel *model)
{
    if (model == this->model())
        return;
    QList<int> widths;
    for (int c = 0; c < ScanTable::ColumnCount; ++c)
        widths << columnWidth(c);
    setModel(model);
    for (int c = 0; c < ScanTable::ColumnCount; ++c)
        setColumnWidth(c, widths[c]);
    m_following = true;
    scrollToBottom();
}
