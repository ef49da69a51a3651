// Any bytes, shown as the console shows them, typed again give the same
// bytes; and any text typed is either refused with a reason or sent.
#include "ConsoleEscapes.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    const std::optional<QByteArray> back = ConsoleEscapes::bytesOf(ConsoleEscapes::shown(bytes), &why);
    if (!back || *back != bytes)
        std::abort();
    const QString typed = QString::fromUtf8(bytes);
    why.clear();
    const std::optional<QByteArray> sent = ConsoleEscapes::bytesOf(typed, &why);
    if (sent.has_value() == !why.isEmpty())
        std::abort();
    return 0;
}
