#include "StallProbe.h"

#include <algorithm>

StallProbe::StallProbe(std::function<void()> tick)
{
    m_timer.setInterval(PeriodMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this, tick = std::move(tick)] {
        m_longestNs = std::max(m_longestNs, m_sinceLast.nsecsElapsed() - qint64(PeriodMs) * 1'000'000);
        m_sinceLast.restart();
        if (tick)
            tick();
    });
    m_sinceLast.start();
    m_timer.start();
}
