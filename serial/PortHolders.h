#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

// Other programs that hold a device open, found in /proc/<pid>/fd on Linux
// (PortHolders_linux.cpp; the rest here is the same on every system).
//
// The open refuses a port that another program has locked (flock, or
// TIOCEXCL for a user other than root), but a program that opened the device
// without a lock shares it silently: each byte then goes to one of the two
// readers. The control looks for such programs after each open and the
// window says who they are. Only what this user may see is found: the
// programs of other users stay hidden unless this one is root.
struct PortHolder {
    qint64 pid = 0;
    QString name; // the command name, /proc/<pid>/comm

    // A system service known to take serial devices, with its usual remedy
    // in French; empty for any other program.
    QString knownRemedy() const;
};

// The process `pid`, named by its command when this user may read it.
PortHolder holderOf(qint64 pid);

// The processes other than this one that hold `devicePath` (or the device a
// link resolves to) open. It reads every process's
// descriptors and may take seconds on a busy machine: the window's thread
// asks through PortHolderSearch. A search whose `stop` turns true ends early
// with what it found so far.
QList<PortHolder> otherHoldersOf(const QString &devicePath, const std::atomic<bool> *stop = nullptr);

// The names a descriptor's link may give for the device: the path as given
// and, when it is a link (/dev/serial/by-id/...), the device it leads to.
QStringList deviceNames(const QString &devicePath);

// Whether a descriptor whose /proc link reads `target` holds the device
// named `names` (number `rdev`). Only a target under /dev is looked at
// (through `fdLink`) when its name differs: never a file on another mount.
bool holdsDevice(const QString &target, const QStringList &names, const QString &fdLink, quint64 rdev);

// The holders as the messages name them: "minicom (pid 1234), ...", or
// empty when there are none.
QString holdersText(const QList<PortHolder> &holders);
