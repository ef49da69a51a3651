#pragma once

#include <QString>

// The files the operator names for a save or a journal: regular files, or
// names where none exists yet. Anything else that stands at the name (a
// FIFO, a device node, a socket, a folder) is refused with a reason, never
// opened for writing: a FIFO would block the window until a reader comes,
// and a save would replace the node by a file.
//
// Reasons are in French, for the status line ("disque plein", "permission
// refusée", "n'est pas un fichier ordinaire"...).
class TargetFile
{
public:
    // Why nothing may be written at `path`: it exists and is not a regular
    // file (a link is followed). Empty when it may.
    static QString refusal(const QString &path);

    // Opens `path` to add to its end, creating it when missing. The open
    // never blocks (O_NONBLOCK) and what was opened is checked before a byte
    // is written. The descriptor, or -1 with `why` set.
    static int openForAppend(const QString &path, QString *why);

    // The same file still stands at `path`: not deleted, not replaced by
    // another (log rotation), compared by device and inode with `fd`.
    static bool stillAt(int fd, const QString &path);

    // A system error as the status line says it.
    static QString reason(int errnoValue);
};
