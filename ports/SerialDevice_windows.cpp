#include "SerialDevice.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

#include <windows.h>

// The COM ports Windows lists under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM:
// one value per port, its name the driver's device (\Device\Serial0 for a
// port of the machine, \Device\VCP0 or \Device\USBSER000 for an adapter), its
// data the port's name (COM3).

namespace {

struct Listed {
    QString device; // \Device\Serial0
    QString port;   // COM3
};

QList<Listed> listedPorts()
{
    QList<Listed> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameSize = 256;
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        const LONG r = RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE *>(data), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const qsizetype chars = qsizetype(dataSize / sizeof(wchar_t));
        QString port = QString::fromWCharArray(data, chars);
        while (port.endsWith(QChar(0)))
            port.chop(1);
        out.append({QString::fromWCharArray(name, qsizetype(nameSize)), port});
    }
    RegCloseKey(key);
    return out;
}

} // namespace

int builtInPortIndex(const QString &path)
{
    static const QRegularExpression re(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM(\\d+)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(path);
    return m.hasMatch() ? m.captured(1).toInt() - 1 : -1;
}

QList<SerialDevice> presentSerialDevices()
{
    QList<SerialDevice> devices;
    for (const Listed &l : listedPorts()) {
        SerialDevice d;
        d.systemLocation = QStringLiteral("\\\\.\\") + l.port;
        d.description = l.device;
        // Windows numbers every port itself, adapters included: COMn is
        // always COM n here, as the system's own tools show it.
        d.builtIn = builtInPortIndex(l.port) >= 0;
        devices << d;
    }
    std::sort(devices.begin(), devices.end(), [](const SerialDevice &a, const SerialDevice &b) {
        if (a.builtIn != b.builtIn)
            return a.builtIn;
        return builtInPortIndex(a.systemLocation) < builtInPortIndex(b.systemLocation);
    });
    return devices;
}

// Changes when a port is added or removed: a hash of the list, which a few
// registry reads give.
qint64 serialDeviceStamp()
{
    quint64 stamp = 1;
    for (const Listed &l : listedPorts())
        stamp = stamp * 1000003u + qHash(l.device + u'=' + l.port);
    return qint64(stamp);
}

bool canNameDevice(const QString &typed)
{
    return builtInPortIndex(typed) >= 0 || typed.startsWith(QLatin1String("\\\\.\\"))
        || QDir::isAbsolutePath(typed);
}

QString deviceNameExamples()
{
    return QStringLiteral("COM12 ou \\\\.\\COM12");
}

QString deviceNameRemedy()
{
    return QStringLiteral("ne nomme pas de port. Donnez le nom d'un port, par exemple COM12.");
}
