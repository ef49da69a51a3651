#pragma once

#include "CommControl.h"

#include <QByteArray>
#include <QStringList>

#include <functional>

// A serial control in memory, through which tests script what the device
// sends and see every property the handlers set.
//
// arriveIn() delivers bytes from a timer, so they reach the tool as an event,
// as they do on a real line, and wake a waiting handler.
class FakeComm : public CommControl
{
    Q_OBJECT
public:
    using CommControl::CommControl;

    void setCommPort(qint16 n) override;
    qint16 CommPort() const override { return m_port; }
    bool PortOpen() const override { return m_open; }
    void setPortOpen(bool open) override;
    int InBufferCount() override;
    QString Input() override;
    void setOutput(const QString &text) override;
    bool waitForBytes(int msecs) override;
    QString devicePath() const override;
    QList<PortHolder> otherHolders() const override { return holders; }
    qint64 lastReadMs() const override { return m_reads.isEmpty() ? m_lastReadMs : m_reads.last().ms; }

    // Bytes from the device, now or after ms milliseconds.
    void arrive(const QByteArray &bytes);
    void arriveIn(int ms, const QByteArray &bytes);
    // Bytes from the device as one read stamped `stampMs` (TakenBytes' clock).
    void arriveAt(qint64 stampMs, const QByteArray &bytes);
    // The device goes away: the port closes, DeviceGone is reported.
    void unplug();

    // Every property set, in order: "CommPort=3", "PortOpen=True", "Output=...".
    QStringList sets;
    QByteArray written;            // everything Output put on the line
    CommError refuseOpen = CommError::None; // opens fail with this while set
    int opens = 0;                 // successful opens
    int countReads = 0;            // InBufferCount polls
    QList<PortHolder> holders;     // other programs "seen" at each open
    // What waitForBytes() does instead of sleeping, when set: a test moves its
    // clock here. The line never answers during such a wait.
    std::function<void(int msecs)> onWait;

private:
    QByteArray m_held;
    QList<TakenBytes::Read> m_reads; // the stamps of m_held
    qint64 m_lastReadMs = 0;
    qint16 m_port = 1;
    bool m_open = false;
};
