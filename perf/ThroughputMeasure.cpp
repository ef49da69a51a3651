#include "Measures.h"

#include "PerfPty.h"
#include "SerialComm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace perf {

// 4. Throughput through the serial control at full speed.
void benchThroughput()
{
    const qint64 total = g_quick ? (8 << 20) : (32 << 20);
    const QByteArray chunk(64 * 1024, 'x');
    auto feed = [&](PerfPty &pty) {
        return std::thread([&pty, &chunk, total] {
            for (qint64 sent = 0; sent < total; sent += chunk.size())
                pty.write(chunk);
        });
    };

    double control;
    {
        PerfPty pty;
        qputenv("VANTREL_COM1", pty.path().toLocal8Bit());
        SerialComm comm;
        comm.setCommPort(1);
        comm.setPortOpen(true);
        QElapsedTimer t;
        t.start();
        std::thread device = feed(pty);
        qint64 taken = 0;
        while (taken < total) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            taken += comm.Input().size();
        }
        control = double(taken) / (double(t.nsecsElapsed()) / 1e9);
        device.join();
    }
    double floor;
    {
        PerfPty pty;
        const int fd = pty.openSlave();
        QElapsedTimer t;
        t.start();
        std::thread device = feed(pty);
        qint64 taken = 0;
        std::vector<char> buf(64 * 1024);
        while (taken < total) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, -1);
            const ssize_t n = ::read(fd, buf.data(), buf.size());
            if (n > 0)
                taken += n;
        }
        floor = double(taken) / (double(t.nsecsElapsed()) / 1e9);
        device.join();
        ::close(fd);
    }
    add(QStringLiteral("Throughput, %1 MB at full speed").arg(total >> 20),
        QStringLiteral("%1 MB/s").arg(control / 1e6, 0, 'f', 1), QStringLiteral("%1 MB/s bare read loop").arg(floor / 1e6, 0, 'f', 1),
        control / floor, QStringLiteral(">= 50 % of floor"), control >= 0.5 * floor);
}

} // namespace perf
