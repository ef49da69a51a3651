#include "ScanTableView.h"

#include "PlainToolTips.h"
#include "ScanTable.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>

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
    horizontalHeader()->setAccessibleName(QStringLiteral("Colonnes des scans"));
    (new PlainToolTips(this))->watchItems(this);
    QScrollBar *bar = verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int max) {
        if (m_following)
            bar->setValue(max);
    });
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { m_following = value == bar->maximum(); });
    // A long scan shows its start and its end, the middle elided.
    setTextElideMode(Qt::ElideMiddle);
    fitColumns();
}

void ScanTableView::fitColumns()
{
    // Each column as wide as its header or its widest usual text, whichever
    // is wider; the data (or the hex, when shown) takes what is left.
    static const char *const widest[ScanTable::ColumnCount] = {
        "000000", "00:00:00.000", "00000", "00000", "GS1 DataMatrix (]d2)", "faux, attendu 0", "test de lecture",
        "", ""};
    const QFontMetrics cells = fontMetrics();
    const QFontMetrics head = horizontalHeader()->fontMetrics();
    const int pad = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 8;
    for (int c = 0; c < ScanTable::ColumnCount; ++c) {
        const QString title = model()->headerData(c, Qt::Horizontal).toString();
        const int w = qMax(head.horizontalAdvance(title), cells.horizontalAdvance(QString::fromUtf8(widest[c])));
        setColumnWidth(c, c == ScanTable::Data || c == ScanTable::Hex ? qMax(w + pad, 16 * cells.averageCharWidth())
                                                                      : w + pad);
    }
}

void ScanTableView::showModel(QAbstractItemModel *model)
{
    if (model == this->model())
        return;
    QList<int> widths;
    for (int c = 0; c < ScanTable::ColumnCount; ++c)
        widths << columnWidth(c);
    QList<bool> hidden;
    for (int c = 0; c < ScanTable::ColumnCount; ++c)
        hidden << isColumnHidden(c);
    setModel(model);
    for (int c = 0; c < ScanTable::ColumnCount; ++c) {
        setColumnWidth(c, widths[c]);
        setColumnHidden(c, hidden[c]);
    }
    m_following = true;
    scrollToBottom();
}

void ScanTableView::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        fitColumns();
    }
}
