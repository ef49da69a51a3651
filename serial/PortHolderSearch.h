#pragma once

#include "PortHolders.h"

#include <QObject>

#include <memory>

// The search for the other programs that hold a device (otherHoldersOf), on
// a thread of its own, answered by found().
//
// The search reads /proc/<pid>/fd of every process: a few milliseconds on a
// quiet machine, seconds where hundreds of thousands of descriptors are open.
// The window's thread never waits for it, neither to start it nor to stop
// it: a search that is no longer wanted (another device, a new search, the
// searcher going away) is told to stop and left to end on its own, with the
// state it shares; its answer is then dropped. A search that cannot end (a
// system call that never returns) costs a sleeping thread, never a frozen
// window, and the process still exits at once.
//
// One search at a time: a start() for the device being searched joins that
// search; one for another device abandons it and starts anew.
class PortHolderSearch : public QObject
{
    Q_OBJECT
public:
    explicit PortHolderSearch(QObject *parent = nullptr);
    ~PortHolderSearch() override; // abandons a search still running

    // Looks for the holders of `devicePath`; found() follows.
    void start(const QString &devicePath);
    // Drops the search in flight, if any: no found() for it.
    void abandon();

signals:
    void found(const QString &devicePath, const QList<PortHolder> &holders);

private:
    struct Run;
    std::shared_ptr<Run> m_run;
};
