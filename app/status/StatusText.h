#pragma once

#include "CommError.h"
#include "PortHolders.h"

#include <QString>

// The French texts of the status line under the reception box.

// "COM1": how every message names a port number.
QString comName(int port);

// The port's state: "COM1 ouvert (/dev/ttyACM0, Scanner)" or "Port fermé".
// The description is left out when empty.
// `line`: the line settings when they are not the default ("115200 8N1").
QString portStateText(bool open, int port, const QString &device, const QString &description = {},
                      const QString &line = {});

// What went wrong, naming COM n and its device, with the likely remedy.
// Empty for CommError::None.
QString errorText(CommError error, int port, const QString &device, const QString &detail = {});

// Other programs hold the device open too: they may take bytes.
QString sharedText(int port, const QString &device, const QList<PortHolder> &holders);

// The device came back after it had gone.
QString returnText(int port, const QString &device);

// The text of "Longueur a lire" is not a length.
QString invalidLengthText(const QString &text);

// The device went away during "Lire": the end of the read could not be sent.
QString stillTriggeredText();

// A click refused because handlers are nested too deep.
QString tooDeepText();

// Lines left the reception box to keep it within its size: how many since
// the start, and where they are kept.
QString linesLeftText(qint64 total, bool journalRunning);

// The journal runs: said after the port's state.
QString journalRunningText(const QString &file);

// The journal stopped on a write that failed; reception goes on.
QString journalFailedText(const QString &file, const QString &why);

// The operator set the line of COM n; `saved`: kept in the settings.
QString lineChosenText(int port, const QString &line, bool saved);

// The journal's file went from its name (deleted, rotated): it goes on in a
// new file at that name.
QString journalReopenedText(const QString &file);

// The journal's file could not be opened.
QString journalNotStartedText(const QString &file, const QString &why);

// "Enregistrer sous…" ended: saved, or why not.
QString savedText(const QString &file, const QString &why);

// "Lire" or "Envoyer commande" clicked while the port is open: nothing is
// sent; what to do instead.
QString portOpenRefusalText(int port, const QString &button);

// "Envoyer commande" has sent the command: how many bytes came back within
// the wait (the reply is not shown).
QString commandSentText(int port, int replyBytes);

// "Allumer" waits for `count` bytes from a device that has sent fewer.
QString waitingForBytesText(int port, int count);
// "Lire" read and showed `bytes` bytes.
QString readDoneText(int port, int bytes);
// "Arrêter le journal": the journal's file and its size now.
QString journalStoppedText(const QString &file, qint64 bytes);

// "Lire buffer" found nothing to show.
QString nothingWaitingText(int port, bool open);

// A settings write failed for `reason`: the values hold for this session.
QString settingsNotWrittenText(const QString &reason);
