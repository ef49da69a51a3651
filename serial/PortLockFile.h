#pragma once

#include <QString>

// The UUCP-style lock file that QSerialPort takes before it opens a device
// ("LCK..ttyACM0" in /run/lock), found by the same rule Qt uses, and what it
// says about its holder.
//
// Vantrel's exclusive use rests on flock, which the kernel drops with the
// descriptor. The lock file cannot go that way: a program killed with it
// held leaves it behind, and in the sticky lock folder only its owner (often
// root) may remove it. Qt then refuses every later open although no program
// holds the port. SerialComm asks this class, after such a refusal, whether
// a live program holds the lock, so that "occupé" is said only then and a
// left-over file is named with its remedy.
class PortLockFile
{
public:
    // The lock file QSerialPort uses for the device at `systemLocation`
    // (a path as given to QSerialPort::setPortName).
    explicit PortLockFile(const QString &systemLocation);

    QString path() const { return m_path; }
    bool exists() const;
    // The process the file names, 0 when unreadable (another user's file,
    // a folder, garbage).
    qint64 pid() const { return m_pid; }
    // True when the named process still runs (also one of another user's).
    bool holderAlive() const;
    // Something stands at the lock file's name that Qt would block on or
    // read without end: a FIFO, a device, a socket, a link. Another user
    // can plant one in the shared lock folder.
    bool blocksOpen() const { return m_blocking; }

private:
    QString m_path;
    bool m_blocking = false;
    qint64 m_pid = 0;
};
