#include "PerfPty.h"

#include "RawPty.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PerfPty::PerfPty()
{
    const RawPty pty = openRawPty();
    m_master = pty.master;
    m_path = QString::fromStdString(pty.slavePath);
}

PerfPty::~PerfPty()
{
    if (m_master >= 0)
        ::close(m_master);
}

std::int64_t PerfPty::nowNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t PerfPty::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            break;
    }
    return nowNs();
}

int PerfPty::openSlave() const
{
    return openRawSlave(m_path.toStdString());
}
