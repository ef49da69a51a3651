#include "ConsoleLine.h"

#include <QKeyEvent>

ConsoleLine::ConsoleLine(QWidget *parent)
    : QLineEdit(parent)
{
}

void ConsoleLine::setHistory(const QStringList &commands)
{
    m_history = commands.mid(0, MaxHistory);
    m_history.removeAll(QString());
    m_at = -1;
}

void ConsoleLine::remember(const QString &command)
{
    m_history.removeAll(command);
    m_history.prepend(command);
    while (m_history.size() > MaxHistory)
        m_history.removeLast();
    m_at = -1;
    m_typed.clear();
    clear();
}

void ConsoleLine::keyPressEvent(QKeyEvent *event)
{
    const bool up = event->key() == Qt::Key_Up;
    if ((!up && event->key() != Qt::Key_Down) || event->modifiers() != Qt::NoModifier) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const int to = up ? qMin(m_at + 1, int(m_history.size()) - 1) : qMax(m_at - 1, -1);
    if (to == m_at)
        return;
    if (m_at == -1)
        m_typed = text();
    m_at = to;
    setText(m_at == -1 ? m_typed : m_history[m_at]);
}
