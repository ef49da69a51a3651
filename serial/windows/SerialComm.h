#pragma once

#include "CommControl.h"
#include "PortRoutes.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <memory>

class QWinEventNotifier;

// The serial control on a real line of Windows: \\.\COMn, through the
// system's own calls (CreateFileW, SetCommState, SetCommTimeouts, ReadFile,
// WriteFile, PurgeComm, CancelIoEx), and no modem line is ever asked for.
//
// Which device COM n opens: the route that PortRoutes gives, when there are
// routes; without them, comDevicePath() (VANTREL_COM<n>, then \\.\COMn).
// Line settings: those of the route, 9600 8N1 by default.
//
// Reception: one overlapped read is always waiting on the line; it waits as
// long as nothing comes, and ends once bytes came and the line has been
// quiet for ReadGapMs (or its buffer is full). A QWinEventNotifier hands its
// end to the window's thread, which never waits for the line except in
// waitForBytes(). (The other usual setting, "return at the first byte",
// MAXDWORD/MAXDWORD/n, never ends under Wine 8, which waits for a full
// buffer instead.) What each read brought is
// appended to the receive buffer, which has no size limit, as text (one
// character per byte) and stamped with its time; Input takes all of it.
//
// Exclusive use: Windows opens a COM port for one program at a time; a port
// held by another program is refused as Busy with the system's reason.
//
// Device gone: a read or write that the system ends with ERROR_BAD_COMMAND,
// ERROR_DEVICE_REMOVED, ERROR_ACCESS_DENIED, ERROR_GEN_FAILURE,
// ERROR_OPERATION_ABORTED (not ours) or ERROR_INVALID_HANDLE: an unplugged USB
// adapter. What was received stays held, the port is closed and DeviceGone
// is reported once; the next open finds the port again when it comes back.
class SerialComm : public CommControl
{
    Q_OBJECT
public:
    // The quiet on the line that ends a read that has bytes.
    static constexpr int ReadGapMs = 2;
    // How long a write may take before the line is said to refuse it (flow
    // control holding the line, say).
    static constexpr int WriteTimeoutMs = 2000;

    explicit SerialComm(QObject *parent = nullptr) : SerialComm(nullptr, parent) {}
    SerialComm(const PortRoutes *routes, QObject *parent);
    ~SerialComm() override;

    void setCommPort(qint16 n) override;
    qint16 CommPort() const override { return m_commPort; }
    bool PortOpen() const override;
    void setPortOpen(bool open) override;
    int InBufferCount() override;
    QString Input() override;
    void setOutput(const QString &text) override;
    bool waitForBytes(int msecs) override;
    QString devicePath() const override { return m_path; }
    LineSettings line() const override { return m_line; }
    qint64 lastReadMs() const override { return m_lastReadMs; }

    // The name CreateFileW is given for a path: \\.\COM12 for COM12 or
    // \\.\COM12, any other path as it is.
    static QString systemName(const QString &path);
    // Why this system cannot set a line so, in French; empty when it can.
    static QString lineRefusal(const LineSettings &line);

private:
    struct Line; // the handle and the read in flight
    void open();
    void closePort(bool deviceGone, unsigned long error = 0);
    void startRead();
    void onReadDone();
    bool finishRead(bool wait);
    void takeRead(unsigned long count);
    void lost(unsigned long error);

    const PortRoutes *m_routes = nullptr;
    std::unique_ptr<Line> m_lineState;
    QWinEventNotifier *m_notifier = nullptr;
    QString m_text; // received and not taken yet, one character per byte
    qsizetype m_receivedCount = 0;
    std::deque<TakenBytes::Read> m_reads;
    qint64 m_lastReadMs = 0;
    QString m_path;
    LineSettings m_line;
    qint16 m_commPort = 1;
};
