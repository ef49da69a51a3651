#pragma once

#include "Clock.h"

#include <QAbstractEventDispatcher>

// A clock that moves only when the test moves it. Moving it wakes the event
// loop, so that a waiting handler looks at its deadline again.
class FakeClock : public Clock
{
public:
    Duration now() const override { return m_now; }
    void advance(Duration d)
    {
        m_now += d;
        if (auto *dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->wakeUp();
    }

private:
    Duration m_now{std::chrono::hours(1000)};
};
