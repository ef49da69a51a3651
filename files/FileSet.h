#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Files that belong together (a report's table, summary and picture),
// written as one: all of them are replaced, or none.
//
// Each file is first written whole beside its name. Only when every one
// is written are they put in place, one after the other, each old file
// moved aside first. Should one not go in place, those already placed are
// taken back out and the old files return: the folder is as it was.
//
// A name that stands for something else than a regular file, or a file
// marked read-only (no write permission for anyone, the read-only
// attribute on Windows), is refused before anything is written.
class FileSet
{
public:
    using Parts = std::function<std::optional<QByteArray>()>;

    struct Outcome {
        QString failedPath;  // the file that could not be written or placed
        QString why;         // in French: "disque plein", "fichier en lecture seule"
        QStringList changed; // the files replaced or made, in order
        // A failure that left some files changed: the old ones could not
        // all be put back (their names are in `changed`).
        bool partly() const { return !why.isEmpty() && !changed.isEmpty(); }
        bool ok() const { return why.isEmpty(); }
    };

    void add(const QString &path, Parts parts);
    Outcome write();

    // Why a file at `path` may not be replaced: a regular file marked
    // read-only. Empty when it may, or when there is none.
    static QString readOnly(const QString &path);

private:
    struct Entry {
        QString path;
        Parts parts;
    };
    QList<Entry> m_entries;
};
