// Any bytes in VANTREL_COM1: UTF-8 opens that path as it is; anything else
// is refused as not UTF-8, shown in plain ASCII with its high bytes as \xNN.
#include "ComDevice.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    bytes.truncate(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0')); // as the environment holds it
    qputenv("VANTREL_COM1", bytes);
    const PortRoutes::Route r = comRoute(1);
    const QString text = QString::fromUtf8(bytes);
    const bool utf8 = text.toUtf8() == bytes; // what does not decode comes back otherwise
    if (bytes.isEmpty())
        return r.path == QStringLiteral("/dev/ttyS0") ? 0 : (std::abort(), 0);
    if (utf8) {
        if (r.refusal != CommError::None || r.path != text)
            std::abort();
        return 0;
    }
    if (r.refusal != CommError::PathNotText || !r.path.isEmpty() || r.detail != QStringLiteral("VANTREL_COM1"))
        std::abort();
    for (const QChar c : r.shown)
        if (c.unicode() >= 0x80)
            std::abort();
    return 0;
}
