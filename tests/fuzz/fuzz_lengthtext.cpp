// Any text in "Longueur a lire": never a crash, and a length only when the
// text is an optional sign and digits with spaces around, in range.
#include "LengthText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto n = lengthFromText(text);

    // Second reading: trim spaces, one sign, then only ASCII digits.
    qsizetype b = 0, e = text.size();
    while (b < e && text[b] == u' ')
        ++b;
    while (e > b && text[e - 1] == u' ')
        --e;
    bool negative = false;
    if (b < e && (text[b] == u'+' || text[b] == u'-'))
        negative = text[b++] == u'-';
    bool digits = b < e;
    long long value = 0;
    for (qsizetype i = b; i < e && digits; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            digits = false;
        else if (value <= 100000)
            value = value * 10 + (text[i].unicode() - u'0');
    }
    if (negative)
        value = -value;
    const bool valid = digits && value >= -32768 && value <= 32767;
    if (valid != n.has_value() || (valid && *n != value))
        std::abort();
    return 0;
}
