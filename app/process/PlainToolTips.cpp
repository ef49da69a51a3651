#include "PlainToolTips.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

void PlainToolTips::watch(QWidget *widget)
{
    widget->installEventFilter(this);
}

void PlainToolTips::watchItems(QAbstractItemView *view)
{
    view->viewport()->installEventFilter(this);
}

QString PlainToolTips::escaped(const QString &plain)
{
    // <p> makes it rich text for Qt's guess; within it every character is
    // escaped, and spaces and line breaks are kept as they are.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + plain.toHtmlEscaped() + QStringLiteral("</p>");
}

void PlainToolTips::show(const QPoint &globalPos, const QString &plain, QWidget *widget, const QRect &rect)
{
    if (plain.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(globalPos, escaped(plain), widget, rect);
}

bool PlainToolTips::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    auto *widget = static_cast<QWidget *>(watched);
    auto *help = static_cast<QHelpEvent *>(event);
    if (auto *view = qobject_cast<QAbstractItemView *>(widget->parentWidget()); view && view->viewport() == widget) {
        const QModelIndex index = view->indexAt(help->pos());
        show(help->globalPos(), index.data(Qt::ToolTipRole).toString(), widget, view->visualRect(index));
    } else {
        show(help->globalPos(), widget->toolTip(), widget);
    }
    return true;
}
