#include "ControlPictures.h"

#include <array>

namespace {

// 0x80-0x9F.
constexpr char16_t Windows1252[32] = {
    0x20AC, 0x2426, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x2425, 0x017D, 0x2422, // 88-8F
    0x2423, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x2424, 0x017E, 0x0178, // 98-9F
};
constexpr char16_t NoBreakSpace = 0x237D;
constexpr char16_t SoftHyphen = 0x2010;

constexpr std::array<char16_t, 256> makeTable()
{
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[size_t(b)] = char16_t(b);
    for (int b = 0; b < 0x20; ++b)
        t[size_t(b)] = char16_t(0x2400 + b);
    t[0x7F] = 0x2421;
    for (int b = 0x80; b < 0xA0; ++b)
        t[size_t(b)] = Windows1252[b - 0x80];
    t[0xA0] = NoBreakSpace;
    t[0xAD] = SoftHyphen;
    return t;
}

constexpr std::array<char16_t, 256> Shown = makeTable();

} // namespace

QChar shownChar(uchar byte)
{
    return QChar(Shown[byte]);
}

QString shownText(QStringView received)
{
    QString out(received.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (const QChar c : received)
        *dst++ = c.unicode() <= 0xFF ? QChar(Shown[c.unicode()]) : c;
    return out;
}

int byteOfShownChar(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= 0x20 && u < 0x7F) || (u >= 0xA1 && u <= 0xFF && u != 0xAD))
        return u;
    if (u >= 0x2400 && u < 0x2420)
        return u - 0x2400;
    if (u == 0x2421)
        return 0x7F;
    if (u == NoBreakSpace)
        return 0xA0;
    if (u == SoftHyphen)
        return 0xAD;
    for (int i = 0; i < 32; ++i)
        if (Windows1252[i] == u)
            return 0x80 + i;
    return -1;
}

bool isNonPrinting(QChar shown)
{
    const char16_t u = shown.unicode();
    return (u >= 0x2400 && u <= 0x2426) || u == NoBreakSpace || u == SoftHyphen;
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
