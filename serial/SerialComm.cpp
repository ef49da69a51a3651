#include "SerialComm.h"

#include "ComDevice.h"
#include "DevicePath.h"
#include "LineProbe.h"
#include "PortLockFile.h"
#include "SystemErrorText.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

SerialComm::SerialComm(const PortAssignments *ports, QObject *parent)
    : CommControl(parent), m_ports(ports)
{
    m_port.setReadBufferSize(0); // no limit: nothing received is ever dropped
    connect(&m_port, &QSerialPort::readyRead, this, &SerialComm::drainPort);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialComm::onPortError);
    m_path = pathFor(m_commPort);
}

SerialComm::~SerialComm()
{
    // Disconnect first so that closing does not signal a half-destroyed object.
    m_port.disconnect(this);
    if (m_port.isOpen())
        m_port.close();
}

void SerialComm::setCommPort(qint16 n)
{
    m_commPort = n;
    if (!m_port.isOpen())
        m_path = pathFor(n);
}

QString SerialComm::pathFor(qint16 n) const
{
    return m_ports ? m_ports->resolve(n).path : comDevicePath(n);
}

void SerialComm::setPortOpen(bool open)
{
    if (open) {
        if (!m_port.isOpen())
            this->open();
    } else if (m_port.isOpen()) {
        closePort(PendingOutput::Flush);
    }
}

void SerialComm::open()
{
    if (m_ports) {
        const PortAssignments::Resolution r = m_ports->resolve(m_commPort);
        if (!r.validPath) {
            m_path = r.raw;
            raiseError(CommError::BadSetting, m_ports->settingsFile());
            return;
        }
        m_path = r.path;
    } else {
        m_path = comDevicePath(m_commPort);
    }
    if (m_path.isEmpty()) {
        raiseError(CommError::NotFound);
        return;
    }

    QString location = m_path; // what QSerialPort opens
#ifdef Q_OS_UNIX
    // The device is tried first on a descriptor of our own, which tells every
    // refusal by its reason; it stays open until QSerialPort has the line, so
    // that closing it never drops the modem lines of a real port.
    LineProbe probe;
    const LineProbe::Verdict verdict = probe.check(m_path);
    if (verdict.error != CommError::None) {
        raiseError(verdict.error, verdict.detail);
        return;
    }
    location = probe.location();
#endif

    m_port.setPortName(location);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);

    if (!m_port.open(QIODevice::ReadWrite)) {
        const auto err = m_port.error();
        m_port.clearError();
        switch (err) {
        case QSerialPort::DeviceNotFoundError:
            raiseError(CommError::NotFound);
            break;
        case QSerialPort::UnsupportedOperationError:
            raiseError(CommError::NotSerial);
            break;
        case QSerialPort::PermissionError:
            // The device itself let us in: what refused is Qt's lock file.
            refusedByLockFile(location);
            break;
        default:
            raiseError(CommError::Other);
            break;
        }
        return;
    }

#ifdef Q_OS_UNIX
    if (::flock(int(m_port.handle()), LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        m_port.close();
        m_port.clearError();
        if (e == EWOULDBLOCK)
            raiseError(CommError::Busy, holdersText(otherHoldersOf(m_path)));
        else
            raiseError(CommError::Other, systemErrorText(e));
        return;
    }
#endif

    m_holders = otherHoldersOf(m_path);
    clearError();
    emit portOpenChanged(true);
}

// "Occupé" only when a live program holds the lock file (or the device); a
// file left by a program that was stopped is named with its remedy.
void SerialComm::refusedByLockFile(const QString &location)
{
    const PortLockFile lock(location);
    if (lock.holderAlive()) {
        raiseError(CommError::Busy, holdersText({holderOf(lock.pid())}));
        return;
    }
    const QList<PortHolder> holders = otherHoldersOf(m_path);
    if (!holders.isEmpty()) {
        raiseError(CommError::Busy, holdersText(holders));
        return;
    }
    if (lock.exists())
        raiseError(CommError::StaleLock, lock.path());
    else
        raiseError(CommError::Other, QStringLiteral("fichier verrou impossible à créer"));
}

// Closes the line. Output still queued is given a moment to leave, unless
// the device is gone (Discard): then it never could. An error raised while
// closing (the pending output meeting a vanished device) is only recorded,
// never acted on again from inside the close, and reported once afterwards.
void SerialComm::closePort(PendingOutput pending)
{
    m_closing = true;
    drainPort();
    if (pending == PendingOutput::Flush && m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(100);
    // A line that hung up before its error reached us: the device is gone.
    if (!m_goneWhileClosing && lineHungUp()) {
        m_goneWhileClosing = true;
        m_goneDetail = systemErrorText(EIO);
    }
    if (m_port.bytesToWrite() > 0)
        m_port.clear(QSerialPort::Output); // what did not leave in time never will
    m_port.close(); // releases the flock with the descriptor
    m_port.clearError();
    m_closing = false;
    emit portOpenChanged(false);
    if (m_goneWhileClosing) {
        m_goneWhileClosing = false;
        raiseError(CommError::DeviceGone, m_goneDetail);
    }
}

bool SerialComm::lineHungUp() const
{
#ifdef Q_OS_UNIX
    pollfd p{int(m_port.handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

void SerialComm::drainPort()
{
    const qint64 available = m_port.bytesAvailable();
    if (available <= 0)
        return;
    // Reads come a few kilobytes at a time; they are gathered into chunks of
    // about a megabyte, which the allocator maps on their own and gives back
    // whole, rather than thousands of small blocks that would leave the heap
    // fragmented and resident after a burst.
    if (m_received.empty() || m_received.back().size() + available > ChunkBytes)
        m_received.emplace_back().reserve(qMax<qsizetype>(ChunkBytes, available));
    QByteArray &chunk = m_received.back();
    const qsizetype at = chunk.size();
    chunk.resize(at + available);
    const qint64 got = m_port.read(chunk.data() + at, available);
    chunk.resize(at + qMax<qint64>(got, 0));
    m_receivedCount += chunk.size() - at;
}

int SerialComm::InBufferCount()
{
    drainPort();
    return int(qMin<qsizetype>(m_receivedCount, INT_MAX));
}

QString SerialComm::Input()
{
    drainPort();
    // Each chunk is freed as soon as it is converted, so that taking a large
    // burst needs the text it becomes and little more. The text's pages are
    // touched only as they are written.
    QString text(m_receivedCount, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(text.data());
    while (!m_received.empty()) {
        const QByteArray &chunk = m_received.front();
        const auto *src = reinterpret_cast<const uchar *>(chunk.constData());
        for (qsizetype i = 0; i < chunk.size(); ++i)
            dst[i] = src[i];
        dst += chunk.size();
        m_received.pop_front();
    }
    m_receivedCount = 0;
    return text;
}

void SerialComm::setOutput(const QString &text)
{
    if (!m_port.isOpen()) {
        raiseError(CommError::NotOpen);
        return;
    }
    const QByteArray bytes = text.toLatin1();
    const qint64 queued = m_port.write(bytes);
    if (!m_port.isOpen())
        return; // the device went away under the write: reported as DeviceGone
    if (queued != bytes.size()) {
        raiseError(CommError::WriteFailed);
        return;
    }
    // write() only queues; flush() puts the bytes on the line now, so that a
    // wait that follows starts when the command has left.
    m_port.flush();
}

bool SerialComm::waitForBytes(int msecs)
{
    if (!m_port.isOpen())
        return false;
    const bool arrived = m_port.waitForReadyRead(msecs);
    drainPort();
    return arrived;
}

void SerialComm::onPortError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (m_closing) {
        // Raised by the close itself: closing already, say it once after.
        if (!m_goneWhileClosing)
            m_goneDetail = systemErrorText(EIO);
        m_goneWhileClosing = true;
        return;
    }
    if (!m_port.isOpen())
        return;
    // A read that found nothing on a line that is still there: another
    // program that shares the device took the bytes first. Not a loss of the
    // device; but a flood of such errors is taken as one, whatever the line
    // says, so that Qt's error loop after an unplug can never spin.
    if (!lineHungUp() && devicePathExists(m_path)) {
        if (!m_spuriousSince.isValid() || m_spuriousSince.elapsed() > 1000) {
            m_spuriousSince.start();
            m_spurious = 0;
        }
        if (++m_spurious < 200) {
            m_port.clearError();
            return;
        }
    }
    m_goneWhileClosing = true;
    m_goneDetail = systemErrorText(EIO);
    closePort(PendingOutput::Discard);
}
