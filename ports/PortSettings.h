#pragma once

#include "LineSettings.h"

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
// two windows writing at once lose nothing. A file QSettings cannot parse is
// never rewritten: the change then holds for the session.
class PortSettings
{
public:
    static constexpr int Count = 8;
    // How long a write waits for another instance's lock on the file.
    static constexpr int LockWaitMs = 80;

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
        QSettings::Status status = QSettings::NoError;
    };

    explicit PortSettings(QString fileName = userFileName());

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

private:
    // "Group/Key" and its value; an empty value removes the key.
    bool change(const QList<std::pair<QString, QString>> &edits);

    QString m_fileName;
};
