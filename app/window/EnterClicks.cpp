#include "EnterClicks.h"

#include <QAbstractButton>
#include <QKeyEvent>

void EnterClicks::watch(QAbstractButton *button)
{
    button->installEventFilter(this);
}

bool EnterClicks::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    if (key->isAutoRepeat())
        return true; // a held key clicks once
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (!button || !button->isEnabled())
        return false;
    button->click();
    return true;
}
