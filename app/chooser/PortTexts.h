#pragma once

#include "PortAssignments.h"

#include <QString>

// The French texts that say which device a COM number stands for: the list
// items' tooltips, the entries of the list's menu, and the hints of the
// status line that point the operator to a present device.

// "/dev/ttyACM0 — Scanner (Acme, n° 1234)": what the system says of it.
QString deviceLabel(const SerialDevice &device);

// "attribué automatiquement", "choisi", "VANTREL_COM1", "par défaut".
QString sourceText(PortAssignments::Source source, int port);

// "COM1 : /dev/ttyACM0 — Scanner (Acme, n° 1234) — attribué automatiquement",
// "COM2 : /dev/ttyS1 — absent — par défaut".
QString portToolTip(const PortAssignments::Resolution &r);

// After an open of COM n that found nothing, or that reached a built-in
// port: which devices are present, on which number, and how to give one to
// COM n. Empty when there is nothing useful to say.
QString presentDevicesHint(int port, const PortAssignments &ports);

// The built-in port opened while a USB device is present elsewhere: says so
// and gives the hint. Empty when that is not the case.
QString builtInOpenedText(const PortAssignments::Resolution &r, const PortAssignments &ports);

// A choice made in the list's menu, and whether it could be kept.
QString choiceText(const PortAssignments::Resolution &now, bool saved, const QString &settingsFile);
QString releaseText(const PortAssignments::Resolution &now, bool saved, const QString &settingsFile);
QString notAbsoluteText(int port, const QString &typed);

// The settings file could not be read (or only in part).
QString settingsProblemText(QSettings::Status status, const QString &settingsFile);
