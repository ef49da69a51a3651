// Any bytes from the line: one shown character each, none that breaks a line
// or is a C0 control or DEL, and every byte recovered from what is shown.
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
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            std::abort();
        if (byteOfShownChar(c) != uchar(bytes[i]))
            std::abort();
    }
    return 0;
}
