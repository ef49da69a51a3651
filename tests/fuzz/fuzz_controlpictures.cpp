// Any bytes from the line: one shown character each, none that breaks a line
// or is a control (C0, DEL, C1) or invisible (no-break space, soft hyphen),
// and every byte recovered from what is shown.
#include "ControlPictures.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString shown = shownText(QString::fromLatin1(bytes));
    if (shown.size() != bytes.size())
        std::abort();
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown[i];
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0xA0) || u == 0xAD || c == QChar::ParagraphSeparator
            || c == QChar::LineSeparator)
            std::abort();
        if (byteOfShownChar(c) != uchar(bytes[i]))
            std::abort();
    }
    return 0;
}
