#pragma once

#include "PortRoutes.h"

#include <QProcessEnvironment>
#include <QString>

// Which device of this machine stands for COM n.
//
// The environment variable VANTREL_COM<n>, when set and not empty, names the
// device (any path: /dev/ttyUSB0, /dev/serial/by-id/..., a pseudo-terminal or
// a link to one). Otherwise COM n is /dev/ttyS<n-1> on Linux and \\.\COM<n> on
// Windows. n below 1 stands for no device: the result is empty.
//
// Device names are UTF-8: udev makes no other, and Qt's file names are
// text. A variable whose bytes are not UTF-8 names no device; it is refused
// (PathNotText) and shown with each byte from 0x80 up written \xNN.
struct ComVariable {
    QString value; // empty: not set
    bool isText = true;
};
// VANTREL_COM<n> of this process.
ComVariable comVariable(int n);
// The name of that variable: "VANTREL_COM1".
QString comVariableName(int n);

// What COM n opens without a numbering of ports: the variable's device,
// or the default one; refused when the variable is not UTF-8.
PortRoutes::Route comRoute(int n);
QString comDevicePath(int n);
// What COM n opens: the numbering's route when there is one, else comRoute(n).
PortRoutes::Route routeFor(const PortRoutes *routes, int n);
QString comDevicePath(int n, const QProcessEnvironment &env);
