#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// A pseudo-terminal on which the test plays the device. The tool opens the
// slave side (path()); the test holds the master.
//
// A background thread reads the master all the time and keeps every byte the
// tool sent, with the time it came, so that a test whose handler blocks the
// main thread still sees what the line carried. Replies can be scripted: when
// the tool has sent a trigger, the thread writes the reply at once.
class PtyDevice
{
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    QString path() const { return m_path; }
    bool isValid() const { return m_master >= 0; }

    // Sends bytes to the tool, all of them, in order. Returns at once: the
    // background thread writes them as the line takes them, so the tool can
    // read on the same thread as the test.
    void write(const QByteArray &bytes);
    // Waits (without events) until everything given to write() has left.
    bool waitForWritten(int timeoutMs);

    // Everything the tool sent so far.
    QByteArray received() const;
    // Waits (without events) until the tool has sent at least n bytes.
    bool waitForReceived(qsizetype n, int timeoutMs);
    // Milliseconds on the steady clock when the tool's byte number `index` came.
    qint64 receivedAtMs(qsizetype index) const;

    // When the tool has sent `trigger`, send `reply` (once per occurrence).
    void respond(const QByteArray &trigger, const QByteArray &reply);

    // Closes the master: for the tool, the device is gone.
    void unplug();

    // How the tool set the line (speed, frame, flow), read on the device's
    // side. False when it cannot be read.
    bool lineSettings(struct termios *t) const;

    static qint64 nowMs();

private:
    void run();
    void wake();
    void writeSome(); // with m_mutex held

    int m_master = -1;
    // The device side, held (never read) until the end: after an unplug the
    // system does not give its number to another pseudo-terminal, which
    // the tool, reopening the path, would take for this device come back
    // (tests run side by side, each with pseudo-terminals of its own).
    int m_holdSlave = -1;
    int m_stop[2] = {-1, -1};
    QString m_path;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    QByteArray m_outbox;
    QByteArray m_received;
    std::vector<qint64> m_times;
    struct Rule {
        QByteArray trigger;
        QByteArray reply;
        qsizetype from = 0;
    };
    std::vector<Rule> m_rules;
};
