// Any COM number and any value of its variable: the variable's value when it
// is set and not empty, the default device otherwise, nothing below COM1.
#include "ComDevice.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    qint16 n;
    std::memcpy(&n, data, 2);
    const QString value = QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));

    QProcessEnvironment env;
    env.insert(QStringLiteral("VANTREL_COM%1").arg(n), value);
    const QString path = comDevicePath(n, env);
    if (n < 1)
        return path.isEmpty() ? 0 : (std::abort(), 0);
    const QString expected = value.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : value;
    if (path != expected)
        std::abort();
    // Another COM number's variable is never taken.
    if (comDevicePath(n == 32767 ? 1 : n + 1, env) == value && !value.isEmpty()
        && value != QStringLiteral("/dev/ttyS%1").arg(n == 32767 ? 0 : n))
        std::abort();
    return 0;
}
