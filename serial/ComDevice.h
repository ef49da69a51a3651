#pragma once

#include <QProcessEnvironment>
#include <QString>

// Which device of this machine stands for COM n.
//
// The environment variable VANTREL_COM<n>, when set and not empty, names the
// device (any path: /dev/ttyUSB0, /dev/serial/by-id/..., a pseudo-terminal or
// a link to one). Otherwise COM n is /dev/ttyS<n-1> on Linux and COM<n> on
// Windows. n below 1 stands for no device: the result is empty.
// Without `env`, the process's own variable is read as bytes, so that a path
// that is not UTF-8 keeps its bytes (DevicePath).
QString comDevicePath(int n);
// VANTREL_COM<n> of this process, read that way; empty when not set.
QString comVariable(int n);
QString comDevicePath(int n, const QProcessEnvironment &env);
