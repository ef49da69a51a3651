#include "PortHolderSearch.h"

#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

struct PortHolderSearch::Run {
    QString path;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;       // under mutex
    bool answered = false;   // find() returned the result: no found()
    QList<PortHolder> holders;
};

PortHolderSearch::PortHolderSearch(QObject *parent) : QObject(parent) {}

PortHolderSearch::~PortHolderSearch()
{
    stop();
}

void PortHolderSearch::stop()
{
    if (m_run)
        m_run->stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_run.reset();
}

std::optional<QList<PortHolder>> PortHolderSearch::find(const QString &devicePath)
{
    if (!m_run || m_run->path != devicePath || m_run->answered || m_run->stop) {
        stop();
        auto run = std::make_shared<Run>();
        run->path = devicePath;
        m_run = run;
        m_thread = std::thread([run, self = this] {
            QList<PortHolder> holders = otherHoldersOf(run->path, &run->stop);
            {
                std::lock_guard lock(run->mutex);
                run->holders = holders;
                run->done = true;
            }
            run->ended.notify_all();
            if (run->stop)
                return;
            // Told on the searcher's own thread. The searcher joins this
            // thread before it goes, so it is still there to receive.
            QMetaObject::invokeMethod(self, [run, self] {
                if (!run->answered && !run->stop) {
                    run->answered = true;
                    emit self->found(run->path, run->holders);
                }
            }, Qt::QueuedConnection);
        });
    }
    std::unique_lock lock(m_run->mutex);
    if (!m_run->ended.wait_for(lock, std::chrono::milliseconds(WaitMs), [this] { return m_run->done; }))
        return std::nullopt;
    m_run->answered = true;
    return m_run->holders;
}
