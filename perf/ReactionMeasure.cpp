#include "Measures.h"

#include "frmVantrel.h"

#include "PerfPty.h"
#include "ReceptionBox.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace perf {

// 2. Reaction: the device's write of the byte that completes the wait, to
// the end of the append; and, the window shown, to the box painted.
void benchReaction()
{
    const int trials = g_quick ? 100 : 500;
    PerfPty pty;
    auto w = windowOn(pty, false);
    std::int64_t appended = 0;
    QObject::connect(w->Text1->document(), &QTextDocument::blockCountChanged, [&] { appended = PerfPty::nowNs(); });

    // One trial: the device sends 5 bytes, then, 3 ms later while the wait
    // sleeps, the sixth; waitFor() returns the instant the wait saw it.
    auto measure = [&](auto waitFor) {
        std::vector<double> ms;
        for (int i = 0; i < trials; ++i) {
            std::int64_t written = 0;
            std::thread device([&] {
                pty.write("12345");
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                written = pty.write("6");
            });
            const std::int64_t seen = waitFor();
            device.join();
            ms.push_back(double(seen - written) / 1e6);
        }
        return ms;
    };
    const auto tick = measure([&] { w->Timer1_Timer(); return appended; });
    const auto on = measure([&] { w->Command1_Click(); return appended; });
    // The same scan during a tick's wait, until the box has painted it.
    w->show();
    const auto drawn = measure([&] {
        w->Timer1_Timer();
        w->Text1->viewport()->repaint();
        return PerfPty::nowNs();
    });
    w.reset();

    // The floor: a bare poll()/read() loop on the same pseudo-terminal.
    const int fd = pty.openSlave();
    const auto floor = measure([&] {
        int got = 0;
        char buf[64];
        while (got < 6) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, -1);
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                got += int(n);
        }
        return PerfPty::nowNs();
    });
    ::close(fd);

    const double f50 = percentile(floor, 50), f99 = percentile(floor, 99);
    for (const auto &[name, v] : {std::pair{QStringLiteral("tick, N = 6"), tick}, std::pair{QStringLiteral("Allumer"), on}}) {
        const double p50 = percentile(v, 50), p99 = percentile(v, 99);
        add(QStringLiteral("Reaction, %1 (%2 trials)").arg(name).arg(trials),
            QStringLiteral("p50 %1 ms, p99 %2 ms").arg(p50, 0, 'f', 3).arg(p99, 0, 'f', 3),
            QStringLiteral("p50 %1 ms, p99 %2 ms").arg(f50, 0, 'f', 3).arg(f99, 0, 'f', 3), p99 / std::max(f99, 1e-6),
            QStringLiteral("p99 within 2 ms of floor"), p99 - f99 <= 2.0);
    }
    const double d50 = percentile(drawn, 50), d99 = percentile(drawn, 99);
    add(QStringLiteral("Scan during a tick's wait, until drawn (%1 trials)").arg(trials),
        QStringLiteral("p50 %1 ms, p99 %2 ms").arg(d50, 0, 'f', 3).arg(d99, 0, 'f', 3),
        QStringLiteral("p50 %1 ms, p99 %2 ms").arg(f50, 0, 'f', 3).arg(f99, 0, 'f', 3), d99 / std::max(f99, 1e-6),
        QStringLiteral("< 5 ms"), d99 < 5.0);
}

} // namespace perf
