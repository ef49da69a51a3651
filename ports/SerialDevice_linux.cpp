#include "SerialDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

#include <sys/stat.h>

int builtInPortIndex(const QString &path)
{
    static const QRegularExpression re(QStringLiteral("^/dev/ttyS(\\d+)$"));
    const auto m = re.match(path);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QList<SerialDevice> presentSerialDevices()
{
    // udev's stable names, each a link to the device it stands for.
    QHash<QString, QString> byIdOf; // canonical device path -> by-id link
    const QDir byIdDir(QStringLiteral("/dev/serial/by-id"));
    const auto links = byIdDir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !byIdOf.contains(target))
            byIdOf.insert(target, link.absoluteFilePath());
    }

    QList<SerialDevice> devices;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        SerialDevice d;
        d.systemLocation = info.systemLocation();
        d.byId = byIdOf.value(QFileInfo(d.systemLocation).canonicalFilePath());
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            d.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            d.productId = info.productIdentifier();
        d.builtIn = builtInPortIndex(d.systemLocation) >= 0 && !info.hasVendorIdentifier();
        devices << d;
    }
    std::sort(devices.begin(), devices.end(), [](const SerialDevice &a, const SerialDevice &b) {
        if (a.builtIn != b.builtIn)
            return a.builtIn;
        if (a.builtIn)
            return builtInPortIndex(a.systemLocation) < builtInPortIndex(b.systemLocation);
        return a.systemLocation < b.systemLocation;
    });
    return devices;
}

qint64 serialDeviceStamp()
{
    quint64 stamp = 0;
    for (const char *dir : {"/dev", "/dev/serial/by-id"}) {
        struct stat st {};
        if (::stat(dir, &st) == 0)
            stamp = stamp * 1000003u + quint64(st.st_mtim.tv_sec) * 1000000000u + quint64(st.st_mtim.tv_nsec);
        else
            stamp = stamp * 1000003u + 1u;
    }
    return qint64(stamp);
}

bool canNameDevice(const QString &typed)
{
    return QDir::isAbsolutePath(typed);
}

QString deviceNameExamples()
{
    return QStringLiteral("/dev/ttyUSB0 ou /dev/serial/by-id/…");
}

QString deviceNameRemedy()
{
    return QStringLiteral("n'est pas un chemin complet. Donnez un chemin qui commence par /, par exemple "
                          "/dev/ttyUSB0.");
}
