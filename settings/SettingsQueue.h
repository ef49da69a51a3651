#pragma once

#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <optional>

// The settings changes of this process that are not on disk yet, for every
// settings file, and the one report of a file that cannot be written.
//
// A change waits here when another instance holds the file's write lock
// (the next try comes a moment later, however long that instance takes),
// and a change made often (the console's history) waits here on purpose, so
// that a burst of them makes one write. Reads of the file see what waits
// here as written. flush() writes everything, waiting for the other
// instances as long as it is given: the program calls it as it ends.
//
// Lives on the thread that first asks for it, the window's.
class SettingsQueue : public QObject
{
    Q_OBJECT
public:
    using Edits = QMap<QString, QString>; // "Group/Key" -> value; empty removes the key

    static SettingsQueue &instance();

    // Keeps `edits` of `file`, merged over what waits already (the last
    // value of a key wins), and tries to write them in `delayMs`.
    void keep(const QString &file, const Edits &edits, int delayMs);
    // Takes what waits for `file` (nothing waits afterwards).
    Edits take(const QString &file);
    // The value waiting for `key` ("Group/Key") of `file`: nullopt when none
    // waits, an empty string when its removal waits.
    std::optional<QString> waiting(const QString &file, const QString &key) const;
    // What waits for the keys of `group`, by key within the group.
    Edits waitingIn(const QString &file, const QString &group) const;
    bool isEmpty() const { return m_waiting.isEmpty(); }

    // Writes what waits, each file waiting up to `lockWaitMs` for the
    // others. True when nothing is left waiting.
    bool flush(int lockWaitMs);

    // A write of `file` failed for `reason` (in French): writeFailed() the
    // first time since the file was last written.
    void failed(const QString &file, const QString &reason);
    void written(const QString &file);

signals:
    void writeFailed(const QString &file, const QString &reason);

private:
    SettingsQueue() = default;
    void retry();

    QHash<QString, Edits> m_waiting;
    QSet<QString> m_failing;
    QTimer *m_timer = nullptr;
};
