#include "FakeComm.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <QTimer>

void FakeComm::setCommPort(qint16 n)
{
    sets << QStringLiteral("CommPort=%1").arg(n);
    m_port = n;
}

void FakeComm::setPortOpen(bool open)
{
    sets << (open ? QStringLiteral("PortOpen=True") : QStringLiteral("PortOpen=False"));
    if (open == m_open)
        return;
    if (open && refuseOpen != CommError::None) {
        raiseError(refuseOpen);
        return;
    }
    m_open = open;
    if (open) {
        ++opens;
        clearError();
    }
    emit portOpenChanged(open);
}

int FakeComm::InBufferCount()
{
    ++countReads;
    return int(m_held.size());
}

QString FakeComm::Input()
{
    const QString text = QString::fromLatin1(m_held);
    if (!m_held.isEmpty()) {
        m_lastReadMs = m_reads.last().ms;
        emit taken({m_held, m_reads});
    }
    m_held.clear();
    m_reads.clear();
    return text;
}

void FakeComm::setOutput(const QString &text)
{
    sets << QStringLiteral("Output=%1").arg(text);
    if (!m_open) {
        raiseError(CommError::NotOpen);
        return;
    }
    written += text.toLatin1();
    emit sent(text.toLatin1(), TakenBytes::nowMs());
}

bool FakeComm::waitForBytes(int msecs)
{
    if (onWait)
        onWait(msecs);
    else
        QThread::msleep(ulong(msecs));
    return false;
}

QString FakeComm::devicePath() const
{
    return QStringLiteral("/dev/fake%1").arg(m_port);
}

void FakeComm::arrive(const QByteArray &bytes)
{
    arriveAt(TakenBytes::nowMs(), bytes);
}

void FakeComm::arriveAt(qint64 stampMs, const QByteArray &bytes)
{
    if (!m_open || bytes.isEmpty())
        return; // nothing reaches a closed port
    m_held += bytes;
    m_reads.append({m_held.size(), stampMs});
    if (auto *d = QAbstractEventDispatcher::instance())
        d->wakeUp();
}

void FakeComm::arriveIn(int ms, const QByteArray &bytes)
{
    QTimer::singleShot(ms, this, [this, bytes] { arrive(bytes); });
}

void FakeComm::unplug()
{
    if (!m_open)
        return;
    m_open = false;
    emit portOpenChanged(false);
    raiseError(CommError::DeviceGone);
}
