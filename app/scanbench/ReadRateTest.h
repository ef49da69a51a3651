#pragma once

#include "ReadRateFigures.h"

#include <QObject>
#include <QTimer>

class CommControl;

// The read-rate test: `triggers` times, ESC "S7" CR on the open port, a wait
// of up to waitMs for one framed scan, ESC "S8" CR, a pause of pauseMs.
//
// It runs on timers and never waits in a loop of its own; the port stays
// open throughout (the main window's ticks go on). A read is good when a
// scan whose first byte arrived within waitMs of the trigger's write has
// been framed; its time is that arrival minus the write, both stamped by
// the serial control. Scans that began before the trigger (a late answer
// to the one before) do not count.
//
// While it waits, the test asks for the line's bytes to be taken as soon as
// the control has read some (takeWanted), so that a scan is framed in
// milliseconds rather than at the next tick; the wait's end leaves a grace
// for the take and, when scans end by silence, for that silence.
//
// stop() ends it at once, sending ESC "S8" CR when a trigger is pending; a
// port that closes ends it too. finished() gives the figures either way.
class ReadRateTest : public QObject
{
    Q_OBJECT
public:
    static constexpr int PollMs = 5;
    static constexpr int GraceMs = 30;

    explicit ReadRateTest(CommControl *comm, QObject *parent = nullptr);

    // Starts; false, with why in French, when it cannot (closed port,
    // already running).
    bool start(int triggers, int waitMs, int pauseMs, int framingGraceMs, QString *why);
    void stop();
    bool running() const { return m_state != State::Idle; }
    const ReadRateFigures &figures() const { return m_figures; }

    // A scan was framed whose first byte arrived at firstMs.
    void scanFramed(qint64 firstMs);

signals:
    void takeWanted();
    void progress(int done, int total);
    void finished(const ReadRateFigures &figures, const QString &why);

private:
    enum class State { Idle, Waiting, Pausing };
    void trigger();
    void release(bool good, qint64 timeMs);
    void waitEnded();
    void poll();
    void end(const QString &why);

    CommControl *m_comm;
    ReadRateFigures m_figures;
    State m_state = State::Idle;
    int m_total = 0;
    int m_waitMs = 0;
    int m_pauseMs = 0;
    int m_graceMs = 0;
    qint64 m_triggerMs = -1; // when the pending trigger was written
    qint64 m_seenReadMs = 0; // the control's last read when last looked at
    QTimer m_wait;
    QTimer m_pause;
    QTimer m_poll;
};
