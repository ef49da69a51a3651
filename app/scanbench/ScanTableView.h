#pragma once

#include <QTableView>

class ScanTable;

// The scanner bench's table: one row per scan, a line high, its tooltips
// plain text (a scan is outside text). Its columns are as wide as their
// headers and usual texts in the font of the day; the data, last, takes
// the rest, a long scan elided in the middle. It follows the newest row while its
// end is in view; scrolled up by the operator, it stays where it was put.
class ScanTableView : public QTableView
{
    Q_OBJECT
public:
    ScanTableView(ScanTable *model, QWidget *parent);
    // Shows another model of the same columns (the table filtered), with
    // the columns' widths as they were.
    void showModel(QAbstractItemModel *model);

protected:
    void changeEvent(QEvent *event) override;

private:
    void fitColumns();

    bool m_following = true;
};
