#include "NonPrintingHighlighter.h"

#include "ControlPictures.h"

NonPrintingHighlighter::NonPrintingHighlighter(QTextDocument *document, const QFont &text)
    : QSyntaxHighlighter(document)
{
    m_format.setBackground(QColor(0xff, 0xe8, 0xb0)); // pale amber
    m_format.setForeground(QColor(0x80, 0x20, 0x00));
    m_standIn.setBackground(QColor(0xd8, 0xec, 0xff)); // pale blue
    m_standIn.setForeground(QColor(0x00, 0x30, 0x80));
    setPictureFont(text);
}

void NonPrintingHighlighter::setPictureFont(const QFont &text)
{
    // Unifont writes a control picture as its abbreviation in small
    // capitals across the cell; drawn 1.4 times the text's size, its letters
    // read as easily as the text's own.
    QFont pictures;
    pictures.setFamilies({QStringLiteral("Unifont"), QStringLiteral("DejaVu Sans Mono")});
    pictures.setPointSizeF(text.pointSizeF() * 1.4);
    m_format.setFont(pictures, QTextCharFormat::FontPropertiesAll);
}

void NonPrintingHighlighter::setTextFont(const QFont &text)
{
    setPictureFont(text);
    rehighlight();
}

// The stand-ins for 0x80-0x9F (Windows-1252: "…" for 0x85, "€" for 0x80)
// are text-like characters that stand for a byte the device sent: a pale
// tint of their own, so that "…" is never read as text that was cut.
bool NonPrintingHighlighter::isStandIn(QChar c)
{
    const int b = byteOfShownChar(c);
    return b >= 0x80 && b <= 0x9F && !isNonPrinting(c);
}

void NonPrintingHighlighter::highlightBlock(const QString &text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        if (isStandIn(text.at(i))) {
            qsizetype end = i + 1;
            while (end < n && isStandIn(text.at(end)))
                ++end;
            setFormat(int(i), int(end - i), m_standIn);
            i = end;
            continue;
        }
        if (!isNonPrinting(text.at(i))) {
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < n && isNonPrinting(text.at(end)))
            ++end;
        setFormat(int(i), int(end - i), m_format);
        i = end;
    }
}
