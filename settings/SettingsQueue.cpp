#include "SettingsQueue.h"

#include "SettingsStore.h"

SettingsQueue &SettingsQueue::instance()
{
    static SettingsQueue *queue = new SettingsQueue; // never destroyed: outlives every window
    return *queue;
}

void SettingsQueue::keep(const QString &file, const Edits &edits, int delayMs)
{
    Edits &w = m_waiting[file];
    for (auto it = edits.begin(); it != edits.end(); ++it)
        w.insert(it.key(), it.value());
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &SettingsQueue::retry);
    }
    if (!m_timer->isActive() || m_timer->remainingTime() > delayMs)
        m_timer->start(delayMs);
}

SettingsQueue::Edits SettingsQueue::take(const QString &file)
{
    return m_waiting.take(file);
}

std::optional<QString> SettingsQueue::waiting(const QString &file, const QString &key) const
{
    const auto f = m_waiting.constFind(file);
    if (f == m_waiting.cend())
        return std::nullopt;
    const auto k = f->constFind(key);
    if (k == f->cend())
        return std::nullopt;
    return *k;
}

SettingsQueue::Edits SettingsQueue::waitingIn(const QString &file, const QString &group) const
{
    Edits inGroup;
    const QString prefix = group + QLatin1Char('/');
    const auto f = m_waiting.constFind(file);
    if (f == m_waiting.cend())
        return inGroup;
    for (auto it = f->lowerBound(prefix); it != f->cend() && it.key().startsWith(prefix); ++it)
        inGroup.insert(it.key().mid(prefix.size()), it.value());
    return inGroup;
}

void SettingsQueue::retry()
{
    for (const QString &file : m_waiting.keys())
        SettingsStore(file).writeWaiting(SettingsStore::LockTryMs);
}

bool SettingsQueue::flush(int lockWaitMs)
{
    if (m_timer)
        m_timer->stop();
    for (const QString &file : m_waiting.keys())
        SettingsStore(file).writeWaiting(lockWaitMs);
    return m_waiting.isEmpty();
}

void SettingsQueue::failed(const QString &file, const QString &reason)
{
    if (m_failing.contains(file))
        return;
    m_failing.insert(file);
    emit writeFailed(file, reason);
}

void SettingsQueue::written(const QString &file)
{
    m_failing.remove(file);
}
