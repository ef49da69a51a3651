#pragma once

#include <QList>
#include <QString>

// A serial device present on this machine, as the system lists it.
//
// A device is known by its stable name: the /dev/serial/by-id/... link that
// udev makes for a USB device (the same whichever socket it is plugged in),
// or its system path when it has none (built-in ports, some adapters).
struct SerialDevice {
    QString systemLocation; // /dev/ttyACM0
    QString byId;           // /dev/serial/by-id/usb-..., or empty
    QString description;
    QString manufacturer;
    QString serialNumber;
    quint16 vendorId = 0;   // 0: none reported
    quint16 productId = 0;
    bool builtIn = false;   // a port of the machine itself (/dev/ttyS<n>)

    // Built-in ports in their system order: 12 for /dev/ttyS12; -1 for others.
    int builtInIndex() const;
    QString stableName() const { return byId.isEmpty() ? systemLocation : byId; }
    // True when `path` names this device: its stable name, its system path,
    // or a link that resolves to it.
    bool isNamedBy(const QString &path) const;
};

// The number of a built-in port from its path (/dev/ttyS12 gives 12), or -1.
int builtInPortIndex(const QString &path);

// The serial devices present now, built-in ports first in their system
// order (ttyS0, ttyS1 ...), then the others sorted by path. Lists what the
// system knows; it never opens a port itself.
QList<SerialDevice> presentSerialDevices();

// Changes whenever a device node is added to or removed from /dev or
// /dev/serial/by-id: the modification times of both folders. Reading it
// costs two stat() calls, so a caller can list the devices again only when
// something was plugged or unplugged.
qint64 serialDeviceStamp();

// Whether what the operator typed can name a device on this system: a full
// path on Linux; COMn, \\.\name or a full path on Windows.
bool canNameDevice(const QString &typed);
// Device names as the operator may type them here, for the dialog that asks
// for one: "/dev/ttyUSB0 ou /dev/serial/by-id/…".
QString deviceNameExamples();
// What is wrong with a name that cannot name a device, and what to type
// instead: "n'est pas un chemin complet. Donnez un chemin qui commence par /…".
QString deviceNameRemedy();
