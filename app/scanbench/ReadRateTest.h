#pragma once

#include "ReadRateFigures.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

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
// for the take and, when scans end by silence, for that silence. The wait
// is timed on a precise timer and checked against the monotonic clock. A
// scan whose first byte came within the wait is waited for until it ends
// (a long 2D code at 9600 baud takes seconds), step by step while its
// bytes keep coming, at most MaxScanBytes at the line's speed. Each no-read
// is told (noRead), with its trigger's time.
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

    // The scan being framed: when its first byte came, and how many bytes
    // it has so far; {-1, 0} when none.
    using PendingScan = std::function<std::pair<qint64, qsizetype>()>;
    void setPendingScan(PendingScan pending) { m_pendingScan = std::move(pending); }
    // How long one step of waiting for a scan's end lasts at `baud`: 256
    // bytes at that speed, and a margin.
    static int stepMs(qint32 baud);

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
    // A trigger written at triggerMs (TakenBytes' clock) brought no scan.
    void noRead(qint64 triggerMs);

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
    qsizetype m_pendingBytes = 0; // of the scan waited for, at the last step
    qint64 m_waitedMs = 0;   // past the wait, for a scan's end
    PendingScan m_pendingScan;
    QTimer m_wait;
    QTimer m_pause;
    QTimer m_poll;
};
