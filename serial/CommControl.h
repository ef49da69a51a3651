#pragma once

#include "CommError.h"
#include "LineSettings.h"
#include "PortHolders.h"
#include "TakenBytes.h"

#include <QObject>
#include <QString>

// The serial control that the window holds as MSComm1.
//
// The handlers use five properties and nothing else: CommPort (which COM
// number the next open uses), PortOpen (open or close the line), InBufferCount
// (bytes received and not yet taken), Input (take everything received) and
// Output (send a string, one byte per character, Latin-1). Text goes both ways
// as one character per byte, so every byte value passes unchanged.
//
// Nothing here ends the program: a refused operation leaves the control in a
// sound state (a failed open leaves the port closed), records the reason in
// lastError() and emits errorOccurred() once. Bytes received stay held until
// Input takes them, also after the port has closed.
//
// waitForBytes() is for the one wait that must not process window events: it
// blocks on the line alone, for at most the time given.
class CommControl : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~CommControl() override = default;

    virtual void setCommPort(qint16 n) = 0;
    virtual qint16 CommPort() const = 0;
    virtual bool PortOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual int InBufferCount() = 0;
    virtual QString Input() = 0;
    virtual void setOutput(const QString &text) = 0;

    // Blocks without processing events until bytes arrive or msecs pass.
    // Returns true when bytes arrived.
    virtual bool waitForBytes(int msecs) = 0;

    // The device the current or last open used (or would use).
    virtual QString devicePath() const = 0;
    // How the line of the current or last open was set.
    virtual LineSettings line() const { return {}; }

    // Other programs that held the device open when it was opened: they may
    // take bytes meant for this one. Empty when none was seen, or while the
    // search for them goes on (otherHoldersFound() then follows).
    virtual QList<PortHolder> otherHolders() const { return {}; }

    // When the last read brought bytes, on TakenBytes::nowMs()'s clock,
    // whether or not Input has taken them yet; 0 before the first.
    virtual qint64 lastReadMs() const { return 0; }

    CommError lastError() const { return m_lastError; }
    QString errorDetail() const { return m_errorDetail; }

signals:
    void errorOccurred(CommError error);
    void portOpenChanged(bool open);
    // otherHolders() became known after the open (the search runs apart).
    void otherHoldersFound();
    // Input() took bytes: the same bytes, with when each read brought them.
    // Emitted only while something is connected, so that a control nobody
    // watches never copies what it takes.
    void taken(const TakenBytes &taken);
    // setOutput() put bytes on the line (queued and flushed) at `ms`, on
    // TakenBytes::nowMs()'s clock.
    void sent(const QByteArray &bytes, qint64 ms);

protected:
    // Records a refusal and tells the window of it.
    void raiseError(CommError error, const QString &detail = {});
    void clearError();

private:
    CommError m_lastError = CommError::None;
    QString m_errorDetail;
};
