#include "ComDevice.h"

#include "DevicePath.h"

namespace {

QString variableName(int n)
{
    return QStringLiteral("VANTREL_COM") + QString::number(n);
}

QString defaultPath(int n)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

} // namespace

QString comDevicePath(int n)
{
    if (n < 1)
        return {};
    const QString chosen = comVariable(n);
    return chosen.isEmpty() ? defaultPath(n) : chosen;
}

QString comVariable(int n)
{
    return devicePathFromBytes(qgetenv(qPrintable(variableName(n))));
}

QString comDevicePath(int n, const QProcessEnvironment &env)
{
    if (n < 1)
        return {};
    const QString chosen = env.value(variableName(n));
    return chosen.isEmpty() ? defaultPath(n) : chosen;
}
