#include "StatusLineLabel.h"

#include "StatusPieces.h"

#include <QFontMetrics>

namespace {

QString breakable(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        out += c;
        if (c == u'/' || c == u'_' || c == u'-')
            out += QChar(0x200B);
    }
    return out;
}

} // namespace

StatusLineLabel::StatusLineLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setFocusPolicy(Qt::NoFocus);
    setMargin(2); // inside the frame
    setIndent(6);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void StatusLineLabel::setMessage(const QString &marked)
{
    m_marked = marked;
    m_full = StatusPieces::fullText(marked);
    setToolTip(m_full);
    setAccessibleDescription(m_full);
    fit();
}

void StatusLineLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fit();
}

void StatusLineLabel::fit()
{
    // Where the text goes: inside the frame, the margin and the indent.
    const int m = margin();
    const int in = qMax(indent(), 0);
    const QRect room = contentsRect().adjusted(m + in, m, -m, -m);
    const QFontMetrics fm(font());
    QString shown;
    for (const int maxPiece : {INT_MAX, 64, 40, 28, 20, 12}) {
        shown = maxPiece == INT_MAX ? m_full : StatusPieces::elidedText(m_marked, maxPiece);
        const QRect needed = fm.boundingRect(room, Qt::TextWordWrap, breakable(shown));
        if (needed.height() <= room.height() && needed.width() <= room.width())
            break; // a word wider than the line would be cut at the edge
    }
    m_shown = shown;
    setText(breakable(shown));
    setAccessibleName(shown);
}
