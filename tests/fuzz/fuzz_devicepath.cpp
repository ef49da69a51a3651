// Any bytes, as a path: text and back gives the same bytes, and the visible
// form has no escaped byte left in it.

#include "DevicePath.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = devicePathFromBytes(bytes);
    if (devicePathBytes(path) != bytes)
        std::abort();
    const QString visible = visiblePath(path);
    for (qsizetype i = 0; i < visible.size(); ++i)
        if (escapedByteAt(visible, i) >= 0)
            std::abort();
    return 0;
}
