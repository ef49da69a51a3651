#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QAbstractItemView;
class QWidget;

// Tooltips that hold outside text (device paths, descriptions, programs'
// names, what the operator typed) shown as plain text, always.
//
// Qt guesses: a tooltip that looks like markup is drawn as rich text, so a
// path such as "scanner/<b>B</b>" would show bold, and "<img src=...>" would
// make Qt read that file, a FIFO blocking the window, /dev/zero filling the
// memory. The widgets and item views watched here keep their tooltips as
// plain text (toolTip() and the items' ToolTipRole stay what the program
// set); this filter shows them escaped, as one explicit rich text.
class PlainToolTips : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The widget's own toolTip().
    void watch(QWidget *widget);
    // Each item's tooltip (Qt::ToolTipRole).
    void watchItems(QAbstractItemView *view);

    // Shows `plain` as it is, whatever it holds.
    static void show(const QPoint &globalPos, const QString &plain, QWidget *widget, const QRect &rect = {});
    // The rich text that shows `plain` as it is.
    static QString escaped(const QString &plain);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
