#include "PortHolderSearch.h"

#include <QMetaObject>

#include <atomic>
#include <mutex>
#include <thread>

// Shared by the searcher and its thread. The thread tells its answer under
// `mutex`, and only while `searcher` is set: the searcher clears it under
// the same mutex before it goes, so that the answer is never posted to an
// object being destroyed, and never waits for more than that post.
struct PortHolderSearch::Run {
    QString path;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    PortHolderSearch *searcher = nullptr; // under mutex
    bool done = false;                    // under mutex
};

PortHolderSearch::PortHolderSearch(QObject *parent) : QObject(parent) {}

PortHolderSearch::~PortHolderSearch()
{
    abandon();
}

void PortHolderSearch::abandon()
{
    if (!m_run)
        return;
    m_run->stop = true;
    {
        std::lock_guard lock(m_run->mutex);
        m_run->searcher = nullptr;
    }
    m_run.reset();
}

void PortHolderSearch::start(const QString &devicePath)
{
    if (m_run && m_run->path == devicePath) {
        std::lock_guard lock(m_run->mutex);
        if (!m_run->done)
            return; // the search in flight answers for this one too
    }
    abandon();
    auto run = std::make_shared<Run>();
    run->path = devicePath;
    run->searcher = this;
    m_run = run;
    std::thread([run] {
        const QList<PortHolder> holders = otherHoldersOf(run->path, &run->stop);
        std::lock_guard lock(run->mutex);
        run->done = true;
        if (!run->searcher || run->stop)
            return;
        PortHolderSearch *searcher = run->searcher;
        QMetaObject::invokeMethod(searcher, [searcher, run, holders] {
            if (searcher->m_run == run && !run->stop)
                emit searcher->found(run->path, holders);
        }, Qt::QueuedConnection);
    }).detach();
}
