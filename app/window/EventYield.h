#pragma once

#include "Clock.h"

#include <optional>

// The yield of the waiting handlers: one pass processes every window event
// that is pending (clicks, ticks, key presses, repaints, bytes reaching the
// port, the close of the window), and their handlers run nested inside the
// caller.
//
// A wait calls pass() once per test. The first pass of a wait only processes
// what is pending and returns at once. Later passes, when nothing is pending,
// sleep until the next event arrives or the wait's deadline comes, so a wait
// that finds nothing new costs no processor time. Bytes reaching the port are
// events: the wait wakes as soon as they are read.
class EventYield
{
public:
    explicit EventYield(const Clock &clock) : m_clock(clock) {}

    // first: the wait's first pass (never sleeps).
    // deadline: when the wait gives up, on m_clock; none means no limit.
    void pass(bool first, std::optional<Clock::Duration> deadline = std::nullopt) const;

private:
    const Clock &m_clock;
};
