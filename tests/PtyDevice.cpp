#include "PtyDevice.h"

#include "RawPty.h"

#include <chrono>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyDevice::PtyDevice()
{
    const RawPty pty = openRawPty(O_NONBLOCK);
    if (pty.master < 0)
        return;
    m_master = pty.master;
    m_path = QString::fromStdString(pty.slavePath);
    m_holdSlave = ::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (::pipe(m_stop) != 0)
        return;
    m_thread = std::thread([this] { run(); });
}

PtyDevice::~PtyDevice()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        wake();
        m_thread.join();
    }
    for (int fd : m_stop)
        if (fd >= 0)
            ::close(fd);
    if (m_master >= 0)
        ::close(m_master);
    if (m_holdSlave >= 0)
        ::close(m_holdSlave);
}

qint64 PtyDevice::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PtyDevice::wake()
{
    const char c = 0;
    [[maybe_unused]] auto n = ::write(m_stop[1], &c, 1);
}

void PtyDevice::write(const QByteArray &bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_outbox.append(bytes);
    }
    wake();
}

bool PtyDevice::waitForWritten(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_outbox.isEmpty() || m_master < 0; });
}

void PtyDevice::writeSome()
{
    if (m_master < 0 || m_outbox.isEmpty())
        return;
    const ssize_t n = ::write(m_master, m_outbox.constData(), size_t(m_outbox.size()));
    if (n > 0) {
        m_outbox.remove(0, n);
        if (m_outbox.isEmpty())
            m_changed.notify_all();
    }
}

QByteArray PtyDevice::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool PtyDevice::waitForReceived(qsizetype n, int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_received.size() >= n; });
}

qint64 PtyDevice::receivedAtMs(qsizetype index) const
{
    std::lock_guard lock(m_mutex);
    return index < qsizetype(m_times.size()) ? m_times[size_t(index)] : -1;
}

void PtyDevice::respond(const QByteArray &trigger, const QByteArray &reply)
{
    std::lock_guard lock(m_mutex);
    m_rules.push_back({trigger, reply, m_received.size()});
}

bool PtyDevice::lineSettings(struct termios *t) const
{
    std::lock_guard lock(m_mutex);
    return m_master >= 0 && ::tcgetattr(m_master, t) == 0;
}

void PtyDevice::unplug()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
        m_outbox.clear();
        m_changed.notify_all();
    }
    wake();
}

void PtyDevice::run()
{
    char buf[65536];
    for (;;) {
        int fd;
        short events = POLLIN;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
            fd = m_master;
            if (!m_outbox.isEmpty())
                events |= POLLOUT;
        }
        pollfd p[2] = {{m_stop[0], POLLIN, 0}, {fd, events, 0}};
        const int ready = ::poll(p, fd >= 0 ? 2 : 1, 50);
        if (ready > 0 && (p[0].revents & POLLIN)) {
            char drain[64];
            [[maybe_unused]] auto n = ::read(m_stop[0], drain, sizeof drain);
        }
        if (fd < 0 || ready <= 0)
            continue;
        std::unique_lock lock(m_mutex);
        if (m_master < 0)
            continue;
        if (p[1].revents & POLLOUT)
            writeSome();
        if (!(p[1].revents & POLLIN)) {
            if (p[1].revents & POLLHUP) {
                // No slave open: look again shortly, without spinning.
                lock.unlock();
                pollfd s{m_stop[0], POLLIN, 0};
                ::poll(&s, 1, 2);
            }
            continue;
        }
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            continue;
        const qint64 t = nowMs();
        m_received.append(buf, n);
        m_times.insert(m_times.end(), size_t(n), t);
        for (Rule &r : m_rules) {
            const qsizetype at = m_received.indexOf(r.trigger, r.from);
            if (at >= 0) {
                r.from = at + r.trigger.size();
                m_outbox.append(r.reply);
                writeSome();
            }
        }
        m_changed.notify_all();
    }
}
