#pragma once

#include <QByteArray>
#include <QList>

#include <chrono>

// What one Input() took from the line, and when each part of it arrived.
//
// The control stamps every read from the device with the monotonic clock,
// to the millisecond, as it happens: the bytes [reads[i-1].end, reads[i].end)
// came in one read at reads[i].ms. Whoever frames scans or times a trigger
// goes by these stamps, never by when the bytes were taken (a tick may take
// them half a second later).
struct TakenBytes {
    struct Read {
        qsizetype end; // one past the read's last byte, in `bytes`
        qint64 ms;     // when it arrived, on nowMs()'s clock
    };
    QByteArray bytes;
    QList<Read> reads; // in order; the last ends at bytes.size()

    // The clock of the stamps: CLOCK_MONOTONIC in milliseconds, which
    // neither a change of the system time nor a suspend moves backwards.
    static qint64 nowMs()
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};
