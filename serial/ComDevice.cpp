#include "ComDevice.h"

QString comDevicePath(int n, const QProcessEnvironment &env)
{
    if (n < 1)
        return {};
    const QString chosen = env.value(QStringLiteral("VANTREL_COM%1").arg(n));
    if (!chosen.isEmpty())
        return chosen;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}
