#include "ControlPictures.h"

QChar shownChar(uchar byte)
{
    if (byte < 0x20)
        return QChar(char16_t(0x2400 + byte));
    if (byte == 0x7F)
        return QChar(char16_t(0x2421));
    return QChar(char16_t(byte));
}

QString shownText(QStringView received)
{
    QString out(received.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (const QChar c : received)
        *dst++ = c.unicode() <= 0xFF ? shownChar(uchar(c.unicode())) : c;
    return out;
}

int byteOfShownChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0x2400 && u < 0x2420)
        return u - 0x2400;
    if (u == 0x2421)
        return 0x7F;
    if ((u >= 0x20 && u < 0x7F) || (u >= 0x80 && u <= 0xFF))
        return u;
    return -1;
}

std::optional<QByteArray> bytesOfShownText(QStringView shown)
{
    QByteArray bytes(shown.size(), Qt::Uninitialized);
    char *dst = bytes.data();
    for (const QChar c : shown) {
        const int b = byteOfShownChar(c);
        if (b < 0)
            return std::nullopt;
        *dst++ = char(b);
    }
    return bytes;
}
