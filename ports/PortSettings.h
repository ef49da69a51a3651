#pragma once

#include "LineSettings.h"

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
// Reading goes through QSettings. Writing does not: QSettings rewrites the
// whole file and drops or mangles what it cannot parse, and this file is the
// user's. write() changes only the lines of the one key in the two groups,
// leaves every other byte as it was, and replaces the file atomically under
// QSettings' own lock file, so that two windows writing at once lose nothing.
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

    // Any other value of the tool's own ([Window] geometry=...), read and
    // written the same way: only that line changes.
    QString value(const QString &group, const QString &key) const;
    // Sets each key of `group` to its value in one write; an empty value
    // removes the key.
    bool writeValues(const QString &group, const QList<std::pair<QString, QString>> &values);

    // The value as a line of the file would carry it, read back the same by
    // QSettings: plain when it can be, quoted and escaped otherwise.
    static QByteArray encodeValue(const QString &value);

private:
    struct KeyEdit {
        QByteArray group;
        QByteArray key;
        QByteArray value; // empty: the key goes
    };
    bool editFile(const QList<KeyEdit> &edits);

    QString m_fileName;
};
