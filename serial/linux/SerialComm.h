#pragma once

#include "CommControl.h"
#include "PortHolderSearch.h"
#include "PortRoutes.h"

#include <QByteArray>
#include <QSerialPort>
#include <QTimer>

#include <deque>

class QSocketNotifier;

// The serial control on a real line, backed by QSerialPort.
//
// Which device COM n opens: the route that PortRoutes gives, when there are
// routes; without them, comDevicePath() (VANTREL_COM<n>, then
// /dev/ttyS<n-1>).
//
// Line settings: those of the route (the operator's, for that number);
// 9600 baud, 8 data bits, no parity, 1 stop bit and no flow control by
// default and without routes. The port is closed when the control
// is created.
//
// Reception: every readyRead moves what QSerialPort read into our own receive
// buffer, which has no size limit; Input takes all of it. The buffer is the
// text itself, one character per byte, converted read by read, so that
// Input hands it over whole without converting anything. The nominal buffer
// sizes of the line settings (1024 in, 512 out) are kept as constants for
// reference only and never cause a byte to be dropped. Each read is stamped
// with its time as it happens; the stamps go to whoever listens to taken().
//
// Opening: LineProbe first opens the device on its own descriptor and tells
// every refusal by the system's reason; QSerialPort then opens the device the
// path resolves to (never a link), which keeps Qt's lock file name short and
// one per device.
//
// Exclusive use: besides QSerialPort's lock file and TIOCEXCL, the open takes
// an advisory flock(LOCK_EX|LOCK_NB) on the device; a device that another
// program holds that way is refused as Busy, naming the program when this
// user can see it. The flock goes with the descriptor, whatever ends the
// program; Qt's lock file does not, and a file left by a program that was
// killed is told apart from a live holder (PortLockFile) and reported as
// StaleLock with its remedy, never as "occupé". A program that opened the
// device without any lock cannot be kept out: after the open, otherHolders()
// names the programs that hold the same device (PortHolders), and their
// reads (which leave ours empty) are not taken for an unplug.
//
// Never deaf: QSerialPort stops reading after a read that found nothing
// (another program took the bytes), and nothing in Qt turns reading back on
// until the next read() call. The control makes it read again a moment
// later (not at once: the other reader may hold the line's read lock, and
// every read would find nothing), whenever it is asked for its count, and
// when its own watch on the line (a descriptor of its own) sees bytes
// waiting. A sharer that leaves costs no byte sent after it left. However
// many reads a busy sharer empties, the port stays open: each pauses
// reading a moment (waitForBytes() included), so that sharing never spins.
//
// Device gone: a line that hung up, whose driver refuses it (EIO, ENXIO,
// ENODEV) or whose device node went away, and nothing else. It is seen
// by the first of: a read or resource error from Qt (Qt 6.4 and earlier),
// the control's own watch on the line, or a question to the control
// (InBufferCount, Input), because from Qt 6.7.1 on a hung-up line raises no
// error and its reads of 0 bytes would spin. The control then drains what
// QSerialPort still holds into the receive buffer, discards the output that
// can no longer leave, closes the port and reports DeviceGone once. Closing
// stops the error flood or the read loop that Qt runs after an unplug.
// Errors raised while the port closes are recorded, not acted on: a close
// never recurses into another close.
class SerialComm : public CommControl
{
    Q_OBJECT
public:
    static constexpr int NominalInBufferSize = 1024;
    static constexpr int NominalOutBufferSize = 512;
    // How long a close waits for queued output to leave: a command is a few
    // bytes, which leave in milliseconds even at 1200 baud.
    static constexpr int CloseFlushMs = 50;
    // How long reading pauses after a read that another program emptied.
    static constexpr int ResumeAfterEmptyReadMs = 20;

    explicit SerialComm(QObject *parent = nullptr) : SerialComm(nullptr, parent) {}
    SerialComm(const PortRoutes *routes, QObject *parent);
    ~SerialComm() override;

    void setCommPort(qint16 n) override;
    qint16 CommPort() const override { return m_commPort; }
    bool PortOpen() const override { return m_port.isOpen(); }
    void setPortOpen(bool open) override;
    int InBufferCount() override;
    QString Input() override;
    void setOutput(const QString &text) override;
    bool waitForBytes(int msecs) override;
    QString devicePath() const override { return m_path; }
    LineSettings line() const override { return m_line; }
    QList<PortHolder> otherHolders() const override { return m_holders; }
    qint64 lastReadMs() const override { return m_lastReadMs; }

    // Why this system cannot set a line so, in French; empty when it can.
    static QString lineRefusal(const LineSettings &line);

private:
    QString pathFor(qint16 n) const;
    void open();
    void refusedByLockFile(const QString &location);
    void refuse(CommError error, const QString &detail = {});
    void refuseAsBusy();
    std::optional<QList<PortHolder>> holdersWhileRefused();
    void onHoldersFound(const QString &devicePath, const QList<PortHolder> &holders);
    enum class PendingOutput { Flush, Discard };
    void closePort(PendingOutput pending);
    void drainPort();
    bool lineHungUp() const;
    bool lineGone() const;
    bool lostLine();
    void resumeReading();
    void pauseReading();
    void watchLine();
    void stopWatchingLine();
    void onLineActivity();
    void onPortError(QSerialPort::SerialPortError error);

    const PortRoutes *m_routes = nullptr;
    QSerialPort m_port;
    QString m_text; // received and not taken yet, one character per byte
    qsizetype m_receivedCount = 0;
    std::deque<TakenBytes::Read> m_reads; // when each read of m_text came
    static constexpr qsizetype ScratchKeptBytes = qsizetype(1) << 20;
    QByteArray m_scratch; // a read's bytes on their way into m_text
    qint64 m_lastReadMs = 0;
    QString m_path;
    LineSettings m_line; // of the current or last open
    qint16 m_commPort = 1;
    bool m_closing = false;          // inside closePort()
    bool m_goneWhileClosing = false; // the device was lost: DeviceGone to report
    QString m_goneDetail;
    QList<PortHolder> m_holders; // seen at the last open
    PortHolderSearch m_holderSearch;
    QString m_busyPath; // refused as held at every open since its holders were looked for
    std::optional<QList<PortHolder>> m_busyHolders;
    int m_watchFd = -1;             // our own descriptor of the open line
    QSocketNotifier *m_watch = nullptr;
    QTimer m_resumeTimer;           // reading pauses after an empty read
};
