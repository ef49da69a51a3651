#pragma once

#include "CommError.h"

#include <QString>

// The first step of every open: the device is opened on a descriptor of our
// own, before QSerialPort takes it, to learn why a refusal happens. The
// system says it precisely (no such file, not a character device, not a
// terminal, permission, exclusive mode, flock held), where QSerialPort folds
// several of these into one error with English text.
//
// The probe's descriptor stays open until the probe is destroyed, after
// QSerialPort has opened its own: the device is never closed in between, so
// a real port's modem lines (DTR) do not drop and a device that resets on
// them is left alone.
//
// location() is the path to give QSerialPort: the device the path resolves
// to, so that a link's length or spelling never reaches the lock file Qt
// names after it, and the same device is locked under one name whatever link
// chose it.
class LineProbe
{
public:
    LineProbe() = default;
    ~LineProbe();
    LineProbe(const LineProbe &) = delete;
    LineProbe &operator=(const LineProbe &) = delete;

    struct Verdict {
        CommError error = CommError::None;
        QString detail; // in French, for the message; may be empty (always for Busy:
                        // the holders are the caller's to find)
    };
    Verdict check(const QString &path);
    QString location() const { return m_location; }

private:
    int m_fd = -1;
    QString m_location;
};
