#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// The longest time the thread went without handling events: a timer fires
// every PeriodMs, and each gap beyond the period is a stall. `tick` runs at
// each firing, for the measure's own checks.
class StallProbe
{
public:
    static constexpr int PeriodMs = 2;

    explicit StallProbe(std::function<void()> tick = {});
    void stop() { m_timer.stop(); }
    qint64 longestMs() const { return m_longestNs / 1'000'000; }
    qint64 longestNs() const { return m_longestNs; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longestNs = 0;
};
