#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

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

    // Writes a new file at `path` from the parts that `next` gives until it
    // gives nothing, and puts it in place of the old one only once every
    // byte is written: a save that cannot finish (a full disk, a removed
    // medium) leaves the old file whole. Only a regular file is saved over.
    // Empty on success, else the reason.
    static QString save(const QString &path, const std::function<std::optional<QByteArray>()> &next);

    // Reads a whole regular file of at most `maxBytes`. The open never
    // blocks and the file is checked to be a regular one before a byte is
    // read. Nothing, with `why` set, when it cannot be read.
    static std::optional<QByteArray> readRegular(const QString &path, qint64 maxBytes, QString *why);

    // How a line of a text file ends on this system, where its editors
    // expect it: "\n" on Linux, "\r\n" on Windows (Notepad, Excel).
    static QByteArray textLineEnd();
    // A system error as the status line says it.
    static QString reason(int errnoValue);
};
