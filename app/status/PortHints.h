#pragma once

#include "PortAssignments.h"

#include <QSettings>
#include <QString>

// The status line's hints on the ports: which devices are present and how
// to give one to COM n, and what the settings file's state means. The port
// chooser says the same in its own messages.

// After an open of COM n that found nothing, or that reached a built-in
// port: which devices are present, on which number, and how to give one to
// COM n. Empty when there is nothing useful to say.
QString presentDevicesHint(int port, const PortAssignments &ports);

// The built-in port opened while a USB device is present elsewhere: says so
// and gives the hint. Empty when that is not the case.
QString builtInOpenedText(const PortAssignments::Resolution &r, const PortAssignments &ports);

// The settings file could not be read (or only in part).
QString settingsProblemText(QSettings::Status status, const QString &settingsFile);
