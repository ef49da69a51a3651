#include "ConsoleLine.h"

#include "ConsoleEscapes.h"

#include <QKeyEvent>
#include <QLocale>

#include <limits>

ConsoleLine::ConsoleLine(QWidget *parent)
    : QLineEdit(parent)
{
    // Far above the limit, so that QLineEdit never cuts what it is given:
    // checkLength() refuses it whole.
    setMaxLength(std::numeric_limits<int>::max());
    // Checked once the edit is over, not in the midst of QLineEdit's own
    // signals.
    connect(this, &QLineEdit::textEdited, this, &ConsoleLine::checkLength, Qt::QueuedConnection);
    connect(this, &QLineEdit::textChanged, this, [this](const QString &now) {
        if (now.size() <= ConsoleEscapes::MaxTyped) {
            m_kept = now;
            m_keptCursor = cursorPosition();
        }
    });
}

void ConsoleLine::checkLength()
{
    const qsizetype n = text().size();
    if (n <= ConsoleEscapes::MaxTyped)
        return;
    const QLocale french(QLocale::French);
    const QString kept = m_kept;
    const int cursor = m_keptCursor;
    setText(kept);
    setCursorPosition(cursor);
    emit refused(QStringLiteral("Texte refusé : %1 caractères, plus que les %2 d'une commande (%3 octets, la longueur "
                                "du plus long scan). La ligne est restée comme elle était.")
                     .arg(french.toString(n), french.toString(ConsoleEscapes::MaxTyped),
                          french.toString(ConsoleEscapes::MaxBytes)));
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
