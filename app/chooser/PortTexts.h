#pragma once

#include "PortAssignments.h"
#include "PortHints.h"

#include <QString>

// The French texts that say which device a COM number stands for: the list
// items' tooltips and the entries of the list's menu (the status line's
// hints are in PortHints.h, a floor below).

// "/dev/ttyACM0 — Scanner (Acme, n° 1234)": what the system says of it.
QString deviceLabel(const SerialDevice &device);

// "attribué automatiquement", "choisi", "VANTREL_COM1", "par défaut".
QString sourceText(PortAssignments::Source source, int port);

// "COM1 : /dev/ttyACM0 — Scanner (Acme, n° 1234) — attribué automatiquement",
// "COM2 : /dev/ttyS1 — absent — par défaut".
QString portToolTip(const PortAssignments::Resolution &r);

// A choice made in the list's menu, and whether it could be kept.
QString choiceText(const PortAssignments::Resolution &now, bool saved, const QString &settingsFile);
QString releaseText(const PortAssignments::Resolution &now, bool saved, const QString &settingsFile);
QString notAbsoluteText(int port, const QString &typed);

