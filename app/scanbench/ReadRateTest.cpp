#include "ReadRateTest.h"

#include "CommControl.h"
#include "ScanFramer.h"
#include "ScannerCommands.h"
#include "TakenBytes.h"

ReadRateTest::ReadRateTest(CommControl *comm, QObject *parent)
    : QObject(parent), m_comm(comm)
{
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    m_poll.setInterval(PollMs);
    connect(&m_wait, &QTimer::timeout, this, &ReadRateTest::waitEnded);
    connect(&m_pause, &QTimer::timeout, this, &ReadRateTest::trigger);
    connect(&m_poll, &QTimer::timeout, this, &ReadRateTest::poll);
    connect(m_comm, &CommControl::portOpenChanged, this, [this](bool open) {
        if (!open && running())
            end(QStringLiteral("le port s'est fermé pendant le test"));
    });
    connect(m_comm, &CommControl::sent, this, [this](const QByteArray &bytes, qint64 ms) {
        if (m_state == State::Waiting && m_triggerMs < 0 && bytes == ScannerCommands::ReadStart)
            m_triggerMs = ms;
    });
}

bool ReadRateTest::start(int triggers, int waitMs, int pauseMs, int framingGraceMs, QString *why)
{
    if (running()) {
        *why = QStringLiteral("un test est déjà en cours");
        return false;
    }
    if (!m_comm->PortOpen()) {
        *why = QStringLiteral("le port est fermé : le test envoie ses gâchettes sur le port ouvert. "
                              "Cliquez sur « Allumer » ou attendez que le minuteur le rouvre, puis relancez.");
        return false;
    }
    m_figures = {};
    m_total = qMax(1, triggers);
    m_waitMs = qMax(1, waitMs);
    m_pauseMs = qMax(0, pauseMs);
    m_graceMs = GraceMs + qMax(0, framingGraceMs);
    trigger();
    return true;
}

void ReadRateTest::trigger()
{
    m_state = State::Waiting;
    m_triggerMs = -1;
    m_pendingBytes = 0;
    m_waitedMs = 0;
    m_seenReadMs = m_comm->lastReadMs();
    m_comm->setOutput(QLatin1String(ScannerCommands::ReadStart));
    if (m_state != State::Waiting)
        return; // the port closed under the write: ended already
    if (m_triggerMs < 0) {
        end(QStringLiteral("la gâchette n'a pas pu être envoyée"));
        return;
    }
    ++m_figures.triggers;
    m_wait.start(m_waitMs + m_graceMs);
    m_poll.start();
}

void ReadRateTest::poll()
{
    const qint64 read = m_comm->lastReadMs();
    if (read != m_seenReadMs) {
        m_seenReadMs = read;
        emit takeWanted();
    }
}

void ReadRateTest::scanFramed(qint64 firstMs)
{
    if (m_state != State::Waiting || m_triggerMs < 0)
        return;
    const qint64 t = firstMs - m_triggerMs;
    if (t < 0 || t > m_waitMs)
        return;
    release(true, t);
}

int ReadRateTest::stepMs(qint32 baud)
{
    return 50 + int(256 * 10 * 1000 / qMax<qint32>(baud, 50));
}

void ReadRateTest::waitEnded()
{
    emit takeWanted(); // what came at the last moment is framed now
    if (m_state != State::Waiting)
        return;
    // A timer that fired early waits for the rest.
    const qint64 left = m_triggerMs + m_waitMs + m_graceMs + m_waitedMs - TakenBytes::nowMs();
    if (left > 0) {
        m_wait.start(int(left));
        return;
    }
    // A scan that began in time and is still coming in: its end is waited
    // for while its bytes keep coming.
    if (m_pendingScan) {
        const auto [firstMs, bytes] = m_pendingScan();
        const qint64 t = firstMs - m_triggerMs;
        const qint64 limit = qint64(ScanFramer::MaxScanBytes) * 10 * 1000 / qMax<qint32>(m_comm->line().baud, 50);
        if (firstMs >= 0 && t >= 0 && t <= m_waitMs && bytes > m_pendingBytes && m_waitedMs < limit) {
            m_pendingBytes = bytes;
            const int step = stepMs(m_comm->line().baud);
            m_waitedMs += step;
            m_wait.start(step);
            return;
        }
    }
    release(false, 0);
}

// Ends the pending trigger, then pauses before the next.
void ReadRateTest::release(bool good, qint64 timeMs)
{
    m_wait.stop();
    m_poll.stop();
    if (good)
        m_figures.timesMs.append(timeMs);
    else
        ++m_figures.noReads;
    if (!good)
        emit noRead(m_triggerMs);
    m_state = State::Pausing;
    m_comm->setOutput(QLatin1String(ScannerCommands::ReadEnd));
    if (m_state != State::Pausing)
        return; // the port closed under the write
    emit progress(m_figures.triggers, m_total);
    if (m_figures.triggers >= m_total)
        end({});
    else
        m_pause.start(m_pauseMs);
}

void ReadRateTest::stop()
{
    if (!running())
        return;
    if (m_state == State::Waiting && m_comm->PortOpen())
        m_comm->setOutput(QLatin1String(ScannerCommands::ReadEnd));
    end(QStringLiteral("arrêté"));
}

void ReadRateTest::end(const QString &why)
{
    m_wait.stop();
    m_pause.stop();
    m_poll.stop();
    const bool pending = m_state == State::Waiting && m_triggerMs >= 0;
    m_state = State::Idle;
    // A trigger still waiting when the test ends was neither read nor
    // missed: it is left out of the figures.
    if (pending)
        --m_figures.triggers;
    m_figures.stopped = !why.isEmpty();
    emit finished(m_figures, why);
}
