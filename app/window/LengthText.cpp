#include "LengthText.h"

std::optional<qint16> lengthFromText(const QString &text)
{
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && text.at(i) == u' ')
        ++i;
    while (end > i && text.at(end - 1) == u' ')
        --end;

    bool negative = false;
    if (i < end && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    if (i == end)
        return std::nullopt;

    qint32 value = 0;
    for (; i < end; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 32768) // stop before any overflow, however many digits
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 32767)
        return std::nullopt;
    return qint16(value);
}
