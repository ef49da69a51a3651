#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <signal.h>

QString SimProcess::program()
{
    return QStringLiteral(VANTREL_SIM_PROGRAM);
}

bool SimProcess::start(const QStringList &options, int timeoutMs)
{
    m_process.start(program(), options);
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return false;
        m_process.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)));
    }
    m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return !m_path.isEmpty();
}

int SimProcess::stop(int timeoutMs)
{
    if (m_process.state() == QProcess::Running) {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(timeoutMs)) {
            m_process.kill();
            m_process.waitForFinished();
            return -1;
        }
    }
    log();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString SimProcess::log()
{
    m_log += QString::fromUtf8(m_process.readAllStandardError());
    return m_log;
}

QByteArray SimProcess::sent()
{
    QByteArray bytes;
    static const QRegularExpression line(QStringLiteral("^envoyé : ((?:[0-9A-F]{2} ?)+)"),
                                         QRegularExpression::MultilineOption);
    auto it = line.globalMatch(log());
    while (it.hasNext())
        bytes += QByteArray::fromHex(it.next().captured(1).toLatin1());
    return bytes;
}
