#pragma once

#include "PortHolders.h"

#include <QObject>

#include <memory>
#include <optional>
#include <thread>

// The search for the other programs that hold a device (otherHoldersOf), on
// a thread of its own.
//
// The search reads /proc/<pid>/fd of every process: a few milliseconds on a
// quiet machine, seconds where hundreds of thousands of descriptors are open.
// find() waits for it a short while (WaitMs), so that the common case
// answers at once; a search that takes longer goes on alone and found()
// brings its answer later. The window's thread never waits longer than that.
//
// One search at a time: a find() for the device being searched joins that
// search; one for another device stops it (the scan looks at its stop flag
// between descriptors) and starts anew.
class PortHolderSearch : public QObject
{
    Q_OBJECT
public:
    static constexpr int WaitMs = 30;

    explicit PortHolderSearch(QObject *parent = nullptr);
    ~PortHolderSearch() override; // stops a search still running

    // The holders of `devicePath`, when the search ends within WaitMs;
    // nullopt otherwise, and found() follows when it ends.
    std::optional<QList<PortHolder>> find(const QString &devicePath);

signals:
    // A search that outlived its find() has ended.
    void found(const QString &devicePath, const QList<PortHolder> &holders);

private:
    struct Run;
    void stop();

    std::shared_ptr<Run> m_run;
    std::thread m_thread;
};
