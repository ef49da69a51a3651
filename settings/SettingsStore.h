#pragma once

#include "LineSettings.h"
#include "SettingsQueue.h"

#include <QHash>
#include <QList>
#include <QSettings>
#include <QString>

#include <array>
#include <utility>

// The user's choices of a device for each COM number, kept in the settings
// file of the organisation and application "Vantrel" (on Linux
// $XDG_CONFIG_HOME/Vantrel/Vantrel.conf, ~/.config/... by default):
//
//   [Ports]
//   COM1=/dev/serial/by-id/usb-Acme_Scanner_1234-if00
//   COM2=/dev/ttyS0
//   [AutoPorts]
//   COM1=/dev/serial/by-id/usb-Acme_Scanner_1234-if00
//   [Lines]
//   COM1=115200 8N1
//
// [Ports] says which device stands for COM n; a hand-written file with that
// group alone is all the tool needs. [AutoPorts] holds the same path when the
// tool gave the number itself, so that it can tell "attribué automatiquement"
// from "choisi" (a hand edit of [Ports] makes the entry a choice again).
//
// The file is the tool's: QSettings reads and writes it. A write keeps every
// key and group it can parse (a hand edit's comments and layout may go), and
// two windows writing at once lose nothing: a write that finds another
// instance writing is kept and tried again a moment later (SettingsQueue),
// and reads see it meanwhile. A file QSettings cannot parse is never
// rewritten, nor one that is read-only: the change then holds for the
// session, and SettingsQueue says so once.
class SettingsStore
{
public:
    static constexpr int Count = 8;
    // How long a write waits for another instance's lock on the file before
    // it is kept for later, and how much later it is tried again.
    static constexpr int LockTryMs = 20;
    static constexpr int RetryMs = 100;
    // How long a change made with writeValuesLater() waits, so that a burst
    // of them makes one write.
    static constexpr int LaterMs = 1000;

    struct Entry {
        QString path;           // the device path; empty when none is set
        QString raw;            // the value as written, for messages
        bool valid = true;      // false: set, but not a device path
        bool automatic = false; // the tool gave this number itself
        bool isSet() const { return !raw.isEmpty(); }
    };
    struct Snapshot {
        std::array<Entry, Count + 1> entries{}; // [1] ... [8]
        std::array<LineSettings, Count + 1> lines{}; // the default where none is set
        // What is wrong in a line's text, its parts replaced by the default's.
        std::array<QList<LineSettings::Fault>, Count + 1> lineFaults{};
        QSettings::Status status = QSettings::NoError;
    };

    explicit SettingsStore(QString fileName = userFileName());

    // The user's settings file, whatever XDG_CONFIG_HOME says at this moment.
    static QString userFileName();
    QString fileName() const { return m_fileName; }

    Snapshot read() const;

    // Sets COM n to `path` (empty: removes the entry), marked automatic or
    // not. False when the file could not be written; it is then unchanged.
    bool write(int n, const QString &path, bool automatic);
    // Sets how the line of COM n is set ([Lines] COMn=115200 8N1); the
    // default removes the entry. False when the file could not be written.
    bool writeLine(int n, const LineSettings &line);

    // The tool's other values ([Window] geometry=...), read and written the
    // same way: every value of `group`, by key, from one reading of the file.
    QHash<QString, QString> values(const QString &group) const;
    // Sets each key of `group` to its value in one write; an empty value
    // removes the key.
    bool writeValues(const QString &group, const QList<std::pair<QString, QString>> &values);
    // The same, written a moment later with whatever else changed meanwhile
    // (values that change often: the console's history).
    bool writeValuesLater(const QString &group, const QList<std::pair<QString, QString>> &values);

    // Writes what SettingsQueue keeps for this file, waiting up to
    // `lockWaitMs` for another instance.
    void writeWaiting(int lockWaitMs);

private:
    enum class Outcome { Written, Busy, Failed };
    // "Group/Key" and its value; an empty value removes the key. With what
    // waits for this file, written now or kept for later (true), or false
    // when the file cannot be written.
    bool change(const QList<std::pair<QString, QString>> &edits);
    bool writeNow(const SettingsQueue::Edits &edits, int lockWaitMs);
    Outcome writeUnderLock(const SettingsQueue::Edits &edits, int lockWaitMs, QString *why);

    QString m_fileName;
};
