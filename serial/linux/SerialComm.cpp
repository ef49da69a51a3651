#include "SerialComm.h"

#include "ComDevice.h"
#include "LineProbe.h"
#include "PortLockFile.h"
#include "SystemErrorText.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QDeadlineTimer>

#include <utility>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/file.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

static_assert(int(LineSettings::Parity::Even) == QSerialPort::EvenParity
              && int(LineSettings::Parity::Odd) == QSerialPort::OddParity
              && int(LineSettings::Parity::Space) == QSerialPort::SpaceParity
              && int(LineSettings::Parity::Mark) == QSerialPort::MarkParity
              && int(LineSettings::StopBits::OneAndHalf) == QSerialPort::OneAndHalfStop
              && int(LineSettings::StopBits::Two) == QSerialPort::TwoStop
              && int(LineSettings::Flow::Hardware) == QSerialPort::HardwareControl
              && int(LineSettings::Flow::Software) == QSerialPort::SoftwareControl);

SerialComm::SerialComm(const PortRoutes *routes, QObject *parent)
    : CommControl(parent), m_routes(routes)
{
    m_port.setReadBufferSize(0); // no limit: nothing received is ever dropped
    connect(&m_port, &QSerialPort::readyRead, this, &SerialComm::drainPort);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialComm::onPortError);
    connect(&m_holderSearch, &PortHolderSearch::found, this, &SerialComm::onHoldersFound);
    m_resumeTimer.setSingleShot(true);
    m_resumeTimer.setInterval(ResumeAfterEmptyReadMs);
    connect(&m_resumeTimer, &QTimer::timeout, this, [this] {
        if (m_watch)
            m_watch->setEnabled(true);
        resumeReading();
    });
    m_path = pathFor(m_commPort);
}

SerialComm::~SerialComm()
{
    // Disconnect first so that closing does not signal a half-destroyed object.
    m_port.disconnect(this);
    stopWatchingLine();
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
    return routeFor(m_routes, n).path;
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

QString SerialComm::lineRefusal(const LineSettings &line)
{
    // termios has one stop bit or two; Qt refuses 1.5 at the open.
    if (line.stopBits == LineSettings::StopBits::OneAndHalf)
        return QStringLiteral("1,5 bit d'arrêt ne peut pas être réglé sous Linux : 1 ou 2 seulement.");
    return {};
}

void SerialComm::open()
{
    const PortRoutes::Route r = routeFor(m_routes, m_commPort);
    if (r.refusal != CommError::None) {
        m_path = r.shown;
        refuse(r.refusal, r.detail);
        return;
    }
    m_path = r.path;
    if (m_path.isEmpty()) {
        refuse(CommError::NotFound);
        return;
    }

    QString location = m_path; // what QSerialPort opens
    // The device is tried first on a descriptor of our own, which tells every
    // refusal by its reason; it stays open until QSerialPort has the line, so
    // that closing it never drops the modem lines of a real port.
    LineProbe probe;
    const LineProbe::Verdict verdict = probe.check(m_path);
    if (verdict.error == CommError::Busy) {
        refuseAsBusy();
        return;
    }
    if (verdict.error != CommError::None) {
        refuse(verdict.error, verdict.detail);
        return;
    }
    location = probe.location();

    // Qt would wait for ever on a FIFO planted at its lock file's name.
    if (const PortLockFile lock(location); lock.blocksOpen()) {
        refuse(CommError::BadLockFile, lock.path());
        return;
    }

    m_line = r.line;
    m_port.setPortName(location);
    m_port.setBaudRate(m_line.baud);
    m_port.setDataBits(QSerialPort::DataBits(m_line.dataBits));
    m_port.setParity(QSerialPort::Parity(m_line.parity));
    m_port.setStopBits(QSerialPort::StopBits(m_line.stopBits));
    m_port.setFlowControl(QSerialPort::FlowControl(m_line.flow));

    if (!m_port.open(QIODevice::ReadWrite)) {
        const auto err = m_port.error();
        m_port.clearError();
        switch (err) {
        case QSerialPort::DeviceNotFoundError:
            refuse(CommError::NotFound);
            break;
        case QSerialPort::UnsupportedOperationError:
            // The device took the default line and refuses this one.
            if (m_line.isDefault())
                refuse(CommError::NotSerial);
            else
                refuse(CommError::LineRefused, m_line.text());
            break;
        case QSerialPort::PermissionError:
            // The device itself let us in: what refused is Qt's lock file.
            refusedByLockFile(location);
            break;
        default:
            refuse(CommError::Other);
            break;
        }
        return;
    }

    if (::flock(int(m_port.handle()), LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        m_port.close();
        m_port.clearError();
        if (e == EWOULDBLOCK)
            refuseAsBusy();
        else
            refuse(CommError::Other, systemErrorText(e));
        return;
    }

    m_busyPath.clear();
    m_holders.clear();
    m_holderSearch.start(m_path); // named when found: otherHoldersFound()
    watchLine();
    clearError();
    emit portOpenChanged(true);
}

// A refusal other than "occupé": the next "occupé" looks for holders anew.
void SerialComm::refuse(CommError error, const QString &detail)
{
    m_busyPath.clear();
    raiseError(error, detail);
}

// "Occupé", naming the programs that hold the device when this user can see
// them. They are looked for once while the same device stays busy, not at
// every tick's open; the first "occupé" names nobody yet, and the search
// names them when it ends (onHoldersFound).
void SerialComm::refuseAsBusy()
{
    const std::optional<QList<PortHolder>> holders = holdersWhileRefused();
    raiseError(CommError::Busy, holders ? holdersText(*holders) : QString());
}

std::optional<QList<PortHolder>> SerialComm::holdersWhileRefused()
{
    if (m_busyPath != m_path) {
        m_busyPath = m_path;
        m_busyHolders.reset();
        m_holderSearch.start(m_path);
    }
    return m_busyHolders;
}

void SerialComm::onHoldersFound(const QString &devicePath, const QList<PortHolder> &holders)
{
    if (devicePath != m_path)
        return;
    if (m_port.isOpen()) {
        m_holders = holders;
        if (!holders.isEmpty())
            emit otherHoldersFound();
        return;
    }
    if (devicePath == m_busyPath && !m_busyHolders) {
        m_busyHolders = holders;
        const CommError shown = lastError();
        if ((shown == CommError::Busy || shown == CommError::StaleLock) && !holders.isEmpty())
            raiseError(CommError::Busy, holdersText(holders));
    }
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
    // A program may hold the device without any lock while the file left
    // behind blocks Qt: then it is that program that keeps the port.
    const std::optional<QList<PortHolder>> holders = holdersWhileRefused();
    if (holders && !holders->isEmpty())
        raiseError(CommError::Busy, holdersText(*holders));
    else if (lock.exists())
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
        m_port.waitForBytesWritten(CloseFlushMs);
    // A line that hung up before its error reached us: the device is gone.
    if (!m_goneWhileClosing && lineHungUp()) {
        m_goneWhileClosing = true;
        m_goneDetail = systemErrorText(EIO);
    }
    if (m_port.bytesToWrite() > 0)
        m_port.clear(QSerialPort::Output); // what did not leave in time never will
    stopWatchingLine();
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
    pollfd p{int(m_port.handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        return true;
    // A driver whose device went away refuses every question about the line.
    termios t {};
    if (::tcgetattr(int(m_port.handle()), &t) != 0)
        return errno == EIO || errno == ENXIO || errno == ENODEV;
    return false;
}

// The device is gone: the line hung up, or its node is no longer there.
bool SerialComm::lineGone() const
{
    return lineHungUp() || !QFileInfo::exists(m_path);
}

// Our own watch on the line, on a second descriptor of the same open file:
// it wakes when the line is readable or hung up, whatever QSerialPort's own
// read notifier does. QSerialPort turns its notifier off after a read that
// found nothing (another program took the bytes) and, from Qt 6.7.1 on, says
// nothing of a hung-up line, whose reads return 0 in a loop.
void SerialComm::watchLine()
{
    m_watchFd = ::fcntl(int(m_port.handle()), F_DUPFD_CLOEXEC, 0);
    if (m_watchFd < 0)
        return;
    m_watch = new QSocketNotifier(m_watchFd, QSocketNotifier::Read, this);
    connect(m_watch, &QSocketNotifier::activated, this, &SerialComm::onLineActivity);
}

void SerialComm::stopWatchingLine()
{
    m_resumeTimer.stop();
    delete m_watch;
    m_watch = nullptr;
    if (m_watchFd >= 0)
        ::close(m_watchFd);
    m_watchFd = -1;
}

void SerialComm::onLineActivity()
{
    if (!m_closing && m_port.isOpen() && !lostLine())
        resumeReading();
}

// A line that hung up: the device is gone. Closes the port (keeping what was
// read) and reports the loss once. True when it did.
bool SerialComm::lostLine()
{
    if (m_closing || !m_port.isOpen() || !lineHungUp())
        return false;
    m_goneWhileClosing = true;
    m_goneDetail = systemErrorText(EIO);
    closePort(PendingOutput::Discard);
    return true;
}

// Makes QSerialPort read the line again: a read with its buffer empty turns
// its read notifier back on (it does nothing when the notifier is on). No
// byte is taken: the buffer is empty, and QSerialPort's own read hands none.
// Not while reading pauses after an empty read (pauseReading).
void SerialComm::resumeReading()
{
    if (m_port.isOpen() && !m_resumeTimer.isActive() && m_port.bytesAvailable() == 0) {
        char none;
        m_port.read(&none, 1);
    }
}

// After a read that found nothing because another program took the bytes.
// QSerialPort stopped reading on it; reading resumes a moment later, so that
// the bytes the device sends once the other program has gone are ours. Not at
// once: while the other program holds the line's read lock, the line stays
// readable and every read finds nothing, and reading again at once would
// spin.
void SerialComm::pauseReading()
{
    if (m_watch)
        m_watch->setEnabled(false);
    m_resumeTimer.start();
}

void SerialComm::drainPort()
{
    const qint64 available = m_port.bytesAvailable();
    if (available <= 0) {
        resumeReading();
        return;
    }
    // Each read becomes text at once, a few kilobytes at a time, so that
    // taking a burst (Input) costs nothing however large it is: the window's
    // thread never converts tens of megabytes in one go.
    m_scratch.resize(available);
    const qint64 got = m_port.read(m_scratch.data(), available);
    if (got <= 0)
        return;
    m_text.append(QLatin1StringView(m_scratch.constData(), got));
    if (m_scratch.capacity() > ScratchKeptBytes)
        m_scratch = QByteArray();
    m_receivedCount += got;
    m_lastReadMs = TakenBytes::nowMs();
    m_reads.push_back({m_receivedCount, m_lastReadMs});
}

int SerialComm::InBufferCount()
{
    lostLine();
    drainPort();
    return int(qMin<qsizetype>(m_receivedCount, INT_MAX));
}

QString SerialComm::Input()
{
    lostLine();
    drainPort();
    QString text = std::exchange(m_text, QString());
    const bool watched = !text.isEmpty() && isSignalConnected(QMetaMethod::fromSignal(&CommControl::taken));
    TakenBytes taken;
    if (watched) {
        taken.bytes = text.toLatin1(); // one character per byte: the bytes as they came
        taken.reads = QList<TakenBytes::Read>(m_reads.begin(), m_reads.end());
    }
    m_receivedCount = 0;
    m_reads.clear();
    if (watched)
        emit this->taken(taken);
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
    emit sent(bytes, TakenBytes::nowMs());
}

bool SerialComm::waitForBytes(int msecs)
{
    if (!m_port.isOpen())
        return false;
    const QDeadlineTimer deadline(msecs, Qt::PreciseTimer);
    const qsizetype before = m_receivedCount;
    m_port.waitForReadyRead(msecs);
    drainPort();
    const bool arrived = m_receivedCount > before;
    // Readable, yet nothing came: another program took the bytes. Waiting
    // again at once would find the same and spin for the whole wait.
    if (!arrived && m_port.isOpen() && !deadline.hasExpired())
        QThread::msleep(quint64(qMin<qint64>(ResumeAfterEmptyReadMs, deadline.remainingTime())));
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
    // device, however many come: reading pauses a moment after each, so
    // that a busy sharer never makes this spin. The device is gone only when
    // it is: its node removed, the line hung up, or the driver refusing it.
    if (!lineGone()) {
        m_port.clearError();
        pauseReading();
        return;
    }
    m_goneWhileClosing = true;
    m_goneDetail = systemErrorText(EIO);
    closePort(PendingOutput::Discard);
}
