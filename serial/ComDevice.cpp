#include "ComDevice.h"

#include <QStringDecoder>

namespace {

QString defaultPath(int n)
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\COM%1").arg(n);
#else
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

// The bytes as they are, each from 0x80 up written \xNN: for a message.
QString visibleBytes(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        if (uchar(c) < 0x80)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x") + QString::number(uchar(c), 16).toUpper();
    }
    return out;
}

} // namespace

QString comVariableName(int n)
{
    return QStringLiteral("VANTREL_COM") + QString::number(n);
}

ComVariable comVariable(int n)
{
    const QByteArray bytes = qgetenv(qPrintable(comVariableName(n)));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return {visibleBytes(bytes), false};
    return {text, true};
}

PortRoutes::Route comRoute(int n)
{
    PortRoutes::Route r;
    if (n < 1)
        return r;
    const ComVariable v = comVariable(n);
    if (!v.isText) {
        r.refusal = CommError::PathNotText;
        r.shown = v.value;
        r.detail = comVariableName(n);
        return r;
    }
    r.path = v.value.isEmpty() ? defaultPath(n) : v.value;
    return r;
}

PortRoutes::Route routeFor(const PortRoutes *routes, int n)
{
    return routes ? routes->route(n) : comRoute(n);
}

QString comDevicePath(int n)
{
    return comRoute(n).path;
}

QString comDevicePath(int n, const QProcessEnvironment &env)
{
    if (n < 1)
        return {};
    const QString chosen = env.value(comVariableName(n));
    return chosen.isEmpty() ? defaultPath(n) : chosen;
}
