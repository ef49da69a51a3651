#include "StatusPieces.h"

#include "ControlPictures.h"

namespace {

constexpr QChar Open(char16_t(0xE000));
constexpr QChar Close(char16_t(0xE001));

// Marks that reorder what follows them (embeddings, overrides, isolates and
// the directional marks): shown as their code, never obeyed.
bool isBidiControl(char16_t u)
{
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F
        || u == 0x061C;
}

} // namespace

namespace StatusPieces {

QString readable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F)
            out += shownChar(uchar(u));
        else if (u == 0x85 || u == 0x2028 || u == 0x2029)
            out += QChar(char16_t(0x2424)); // a line break of another kind: ␤
        else if (c == Open || c == Close)
            out += QChar::ReplacementCharacter;
        else if (isBidiControl(u))
            out += QStringLiteral("\\u") + QString::number(u, 16).toUpper().rightJustified(4, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString piece(const QString &text)
{
    return Open + readable(text) + Close;
}

QString fullText(const QString &marked)
{
    QString out = marked;
    out.remove(Open);
    out.remove(Close);
    return out;
}

QString elidedText(const QString &marked, int maxPiece)
{
    const int keep = qMax(2, maxPiece - 1);
    QString out;
    out.reserve(marked.size());
    qsizetype i = 0;
    while (i < marked.size()) {
        const qsizetype open = marked.indexOf(Open, i);
        if (open < 0) {
            out += QStringView(marked).mid(i);
            break;
        }
        out += QStringView(marked).mid(i, open - i);
        qsizetype close = marked.indexOf(Close, open + 1);
        if (close < 0)
            close = marked.size();
        const QStringView inside = QStringView(marked).mid(open + 1, close - open - 1);
        if (inside.size() <= maxPiece) {
            out += inside;
        } else {
            // The end of a path names the device; it keeps the larger half.
            const qsizetype head = keep / 2;
            const qsizetype tail = keep - head;
            QStringView left = inside.left(head);
            QStringView right = inside.right(tail);
            if (!left.isEmpty() && left.back().isHighSurrogate())
                left.chop(1);
            if (!right.isEmpty() && right.front().isLowSurrogate())
                right = right.mid(1);
            out += left;
            out += QChar(char16_t(0x2026));
            out += right;
        }
        i = close + 1;
    }
    return out;
}

} // namespace StatusPieces
