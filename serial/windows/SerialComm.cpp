#include "SerialComm.h"

#include "ComDevice.h"

#include <QDeadlineTimer>
#include <QMetaMethod>
#include <QWinEventNotifier>

#include <utility>

#include <windows.h>

namespace {

constexpr DWORD ReadChunk = 16 * 1024;

// The system's reason, in French, for the messages of the status line.
QString reasonText(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return QStringLiteral("port absent");
    case ERROR_ACCESS_DENIED: return QStringLiteral("accès refusé : un autre programme a ouvert le port");
    case ERROR_SHARING_VIOLATION: return QStringLiteral("le port est ouvert par un autre programme");
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE: return QStringLiteral("appareil débranché ?");
    case ERROR_SEM_TIMEOUT: return QStringLiteral("la ligne n'a pas pris les octets à temps");
    default: return QStringLiteral("erreur Windows %1").arg(error);
    }
}

DCB stateFor(DCB dcb, const LineSettings &line)
{
    dcb.BaudRate = DWORD(line.baud);
    dcb.ByteSize = BYTE(line.dataBits);
    switch (line.parity) {
    case LineSettings::Parity::None: dcb.Parity = NOPARITY; break;
    case LineSettings::Parity::Even: dcb.Parity = EVENPARITY; break;
    case LineSettings::Parity::Odd: dcb.Parity = ODDPARITY; break;
    case LineSettings::Parity::Mark: dcb.Parity = MARKPARITY; break;
    case LineSettings::Parity::Space: dcb.Parity = SPACEPARITY; break;
    }
    dcb.fParity = line.parity != LineSettings::Parity::None;
    dcb.StopBits = line.stopBits == LineSettings::StopBits::One        ? ONESTOPBIT
                 : line.stopBits == LineSettings::StopBits::OneAndHalf ? ONE5STOPBITS
                                                                       : TWOSTOPBITS;
    dcb.fBinary = TRUE;
    dcb.fAbortOnError = FALSE; // a framing error never stops the line
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutxCtsFlow = line.flow == LineSettings::Flow::Hardware;
    dcb.fOutX = dcb.fInX = line.flow == LineSettings::Flow::Software;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    // DTR and RTS are raised apart (EscapeCommFunction), where the line has
    // them: a line without modem lines still takes the rest.
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = line.flow == LineSettings::Flow::Hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    return dcb;
}

} // namespace

struct SerialComm::Line {
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED readOv {};
    OVERLAPPED writeOv {};
    QByteArray readBuf;
    QByteArray writing; // the bytes of the write in flight
    bool reading = false;

    ~Line()
    {
        if (handle != INVALID_HANDLE_VALUE) {
            DWORD n = 0;
            CancelIoEx(handle, nullptr);
            if (reading)
                GetOverlappedResult(handle, &readOv, &n, TRUE);
            if (!writing.isEmpty())
                GetOverlappedResult(handle, &writeOv, &n, TRUE);
            CloseHandle(handle);
        }
        if (readOv.hEvent)
            CloseHandle(readOv.hEvent);
        if (writeOv.hEvent)
            CloseHandle(writeOv.hEvent);
    }
};

SerialComm::SerialComm(const PortRoutes *routes, QObject *parent)
    : CommControl(parent), m_routes(routes)
{
    m_path = routeFor(m_routes, m_commPort).path;
}

SerialComm::~SerialComm()
{
    delete m_notifier;
    m_lineState.reset();
}

QString SerialComm::lineRefusal(const LineSettings &line)
{
    // SetCommState refuses 1.5 stop bits but with 5 data bits, and 2 with 5.
    if (line.stopBits == LineSettings::StopBits::OneAndHalf && line.dataBits != 5)
        return QStringLiteral("1,5 bit d'arrêt ne va qu'avec 5 bits de données.");
    if (line.stopBits == LineSettings::StopBits::Two && line.dataBits == 5)
        return QStringLiteral("2 bits d'arrêt ne vont pas avec 5 bits de données : choisissez 1,5.");
    return {};
}

QString SerialComm::systemName(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\.\\")))
        return path;
    if (path.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return QStringLiteral("\\\\.\\") + path.toUpper();
    return path;
}

bool SerialComm::PortOpen() const
{
    return m_lineState != nullptr;
}

void SerialComm::setCommPort(qint16 n)
{
    m_commPort = n;
    if (!PortOpen())
        m_path = routeFor(m_routes, n).path;
}

void SerialComm::setPortOpen(bool open)
{
    if (open && !PortOpen())
        this->open();
    else if (!open && PortOpen())
        closePort(false);
}

void SerialComm::open()
{
    const PortRoutes::Route r = routeFor(m_routes, m_commPort);
    if (r.refusal != CommError::None) {
        m_path = r.shown;
        raiseError(r.refusal, r.detail);
        return;
    }
    m_path = r.path;
    if (m_path.isEmpty()) {
        raiseError(CommError::NotFound);
        return;
    }
    auto line = std::make_unique<Line>();
    const std::wstring name = systemName(m_path).toStdWString();
    line->handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    if (line->handle == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        // A name that cannot be a device's (a line break in it) names none.
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME
            || e == ERROR_BAD_PATHNAME)
            raiseError(CommError::NotFound);
        else if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION)
            raiseError(CommError::Busy, reasonText(e));
        else
            raiseError(CommError::Other, reasonText(e));
        return;
    }
    DCB dcb {};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(line->handle, &dcb)) {
        raiseError(CommError::NotSerial);
        return;
    }
    m_line = r.line;
    dcb = stateFor(dcb, m_line);
    if (!SetCommState(line->handle, &dcb)) {
        if (m_line.isDefault())
            raiseError(CommError::NotSerial);
        else
            raiseError(CommError::LineRefused, m_line.text());
        return;
    }
    EscapeCommFunction(line->handle, SETDTR);
    if (m_line.flow != LineSettings::Flow::Hardware)
        EscapeCommFunction(line->handle, SETRTS);
    // A read waits for its first byte, then ends at the first gap.
    COMMTIMEOUTS t {};
    t.ReadIntervalTimeout = ReadGapMs;
    t.WriteTotalTimeoutConstant = WriteTimeoutMs;
    if (!SetCommTimeouts(line->handle, &t)) {
        raiseError(CommError::Other, reasonText(GetLastError()));
        return;
    }
    PurgeComm(line->handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    line->readOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    line->writeOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    line->readBuf.resize(ReadChunk);
    m_lineState = std::move(line);
    m_notifier = new QWinEventNotifier(m_lineState->readOv.hEvent, this);
    connect(m_notifier, &QWinEventNotifier::activated, this, &SerialComm::onReadDone);
    clearError();
    startRead();
    if (PortOpen())
        emit portOpenChanged(true);
}

// Starts the next overlapped read; its end comes through the notifier.
void SerialComm::startRead()
{
    Line &l = *m_lineState;
    DWORD n = 0;
    if (ReadFile(l.handle, l.readBuf.data(), ReadChunk, &n, &l.readOv) || GetLastError() == ERROR_IO_PENDING) {
        l.reading = true;
        return;
    }
    lost(GetLastError());
}

void SerialComm::onReadDone()
{
    if (PortOpen())
        finishRead(false);
}

// Takes what the read in flight brought, when it has ended (or, with `wait`,
// once it ends), and starts the next. True when bytes came.
bool SerialComm::finishRead(bool wait)
{
    Line &l = *m_lineState;
    if (!l.reading)
        return false;
    DWORD n = 0;
    if (!GetOverlappedResult(l.handle, &l.readOv, &n, wait ? TRUE : FALSE)) {
        const DWORD e = GetLastError();
        if (e == ERROR_IO_INCOMPLETE)
            return false;
        l.reading = false;
        lost(e);
        return false;
    }
    l.reading = false;
    if (n > 0)
        takeRead(n);
    startRead();
    return n > 0;
}

void SerialComm::takeRead(unsigned long count)
{
    m_text.append(QLatin1StringView(m_lineState->readBuf.constData(), qsizetype(count)));
    m_receivedCount += qsizetype(count);
    m_lastReadMs = TakenBytes::nowMs();
    m_reads.push_back({m_receivedCount, m_lastReadMs});
}

// The line failed under a read or a write: the device went away.
void SerialComm::lost(unsigned long error)
{
    if (PortOpen())
        closePort(true, error);
}

void SerialComm::closePort(bool deviceGone, unsigned long error)
{
    delete m_notifier;
    m_notifier = nullptr;
    if (!deviceGone && m_lineState->reading) {
        // Bytes that came just before the close are kept.
        DWORD n = 0;
        if (GetOverlappedResult(m_lineState->handle, &m_lineState->readOv, &n, FALSE)) {
            m_lineState->reading = false;
            if (n > 0)
                takeRead(n);
        }
    }
    m_lineState.reset(); // cancels what is in flight and closes the handle
    emit portOpenChanged(false);
    if (deviceGone)
        raiseError(CommError::DeviceGone, reasonText(DWORD(error)));
}

int SerialComm::InBufferCount()
{
    if (PortOpen())
        finishRead(false);
    return int(qMin<qsizetype>(m_receivedCount, INT_MAX));
}

QString SerialComm::Input()
{
    if (PortOpen())
        finishRead(false);
    QString text = std::exchange(m_text, QString());
    const bool watched = !text.isEmpty() && isSignalConnected(QMetaMethod::fromSignal(&CommControl::taken));
    TakenBytes taken;
    if (watched) {
        taken.bytes = text.toLatin1();
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
    if (!PortOpen()) {
        raiseError(CommError::NotOpen);
        return;
    }
    Line &l = *m_lineState;
    DWORD n = 0;
    // The write before, if it is still going (a few bytes: milliseconds,
    // WriteTimeoutMs at most when flow control holds the line).
    if (!l.writing.isEmpty()) {
        const bool ok = GetOverlappedResult(l.handle, &l.writeOv, &n, TRUE);
        l.writing.clear();
        if (!ok) {
            lost(GetLastError());
            return;
        }
    }
    l.writing = text.toLatin1();
    if (l.writing.isEmpty())
        return;
    if (!WriteFile(l.handle, l.writing.constData(), DWORD(l.writing.size()), &n, &l.writeOv)
        && GetLastError() != ERROR_IO_PENDING) {
        const DWORD e = GetLastError();
        l.writing.clear();
        if (e == ERROR_SEM_TIMEOUT)
            raiseError(CommError::WriteFailed, reasonText(e));
        else
            lost(e);
        return;
    }
    emit sent(m_lineState->writing, TakenBytes::nowMs());
}

bool SerialComm::waitForBytes(int msecs)
{
    if (!PortOpen())
        return false;
    const QDeadlineTimer deadline(msecs, Qt::PreciseTimer);
    const qsizetype before = m_receivedCount;
    while (PortOpen() && m_receivedCount == before && !deadline.hasExpired()) {
        if (!m_lineState->reading)
            break;
        const DWORD r = WaitForSingleObject(m_lineState->readOv.hEvent, DWORD(deadline.remainingTime()));
        if (r != WAIT_OBJECT_0)
            break;
        finishRead(false);
    }
    return m_receivedCount > before;
}
