#pragma once

#include <QSyntaxHighlighter>

// Sets apart, in the reception box, the characters that stand for control
// bytes and the other non-printing bytes (ControlPictures::isNonPrinting):
// drawn on a tinted background in a colour of their own, so that the
// picture of CR never reads as the letters C and R, and a run of them shows
// where it starts and ends. The stand-ins of bytes 0x80-0x9F (Windows-1252
// characters such as "…") carry a pale blue tint of their own. Only the look
// changes: the text stays the same.
class NonPrintingHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT
public:
    // `text`: the box's font, whose size the pictures follow.
    NonPrintingHighlighter(QTextDocument *document, const QFont &text);
    // The box's font changed size: the pictures follow, and the text is
    // drawn again.
    void setTextFont(const QFont &text);

protected:
    void highlightBlock(const QString &text) override;

    // A character that stands for a byte from 0x80 to 0x9F (not a picture).
    static bool isStandIn(QChar c);

private:
    void setPictureFont(const QFont &text);

    QTextCharFormat m_format;
    QTextCharFormat m_standIn;
};
