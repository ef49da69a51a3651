#include "Measures.h"

#include "PerfPty.h"
#include "StallProbe.h"
#include "frmVantrel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace perf {

// 7. Stalls from the system: the port busy while another program holds a
// great many descriptors (the search for who holds the port reads them all),
// and the open and close of a free port meanwhile.

// A program that holds `path` (with flock when `lock`) and up to `count`
// more descriptors, as many as its limit allows, until killed. Returns its
// pid once it is ready, and how many descriptors it holds.
pid_t startHolder(const QByteArray &path, bool lock, int count, int *held)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        rlimit lim{rlim_t(count) + 64, rlim_t(count) + 64};
        if (::setrlimit(RLIMIT_NOFILE, &lim) != 0) {
            ::getrlimit(RLIMIT_NOFILE, &lim);
            lim.rlim_cur = lim.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &lim);
        }
        int n = -1;
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
        if (fd >= 0 && (!lock || ::flock(fd, LOCK_EX | LOCK_NB) == 0))
            for (n = 1; n < count && ::dup(fd) >= 0;)
                ++n;
        [[maybe_unused]] auto w = ::write(ready[1], &n, sizeof n);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    *held = -1;
    if (pid > 0 && ::read(ready[0], held, sizeof *held) != sizeof *held)
        *held = -1;
    ::close(ready[0]);
    return pid;
}

// `count` descriptors held by as many programs as their limits need, the
// first of which holds `device` locked.
struct Holders {
    std::vector<pid_t> pids;
    int held = 0;
    bool ok = true;
    Holders(const QString &device, int count)
    {
        while (ok && held < count) {
            int n = 0;
            const pid_t pid = startHolder(pids.empty() ? device.toLocal8Bit() : QByteArray("/dev/null"), pids.empty(),
                                          count - held, &n);
            if (pid > 0)
                pids.push_back(pid);
            ok = pid > 0 && n > 0;
            held += std::max(n, 0);
        }
    }
    ~Holders()
    {
        for (pid_t pid : pids) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    Holders(const Holders &) = delete;
    Holders &operator=(const Holders &) = delete;
};

void benchSystemStalls()
{
    const int count = 300'000;
    PerfPty busy;
    Holders holders(busy.path(), count);
    const int held = holders.held;
    const pid_t holder = holders.pids.empty() ? 0 : holders.pids.front();
    if (!holders.ok) {
        add(QStringLiteral("Stalls with a busy port"), QStringLiteral("failed"), QStringLiteral("-"), 0,
            QStringLiteral("-"), false);
        return;
    }

    // The port busy, the tick trying to open it every 500 ms.
    qputenv("VANTREL_COM1", busy.path().toLocal8Bit());
    QElapsedTimer search;
    search.start();
    auto w = std::make_unique<frmVantrel>();
    w->show();
    qint64 namedMs = -1;
    const QString pid = QStringLiteral("(pid ") + QString::number(holder) + QLatin1Char(')');
    StallProbe probe([&] {
        if (namedMs < 0 && w->statusText().contains(pid))
            namedMs = search.elapsed();
    });
    runFor(g_quick ? 4000 : 8000);
    probe.stop();
    const bool busyShown = w->statusText().contains(QStringLiteral("occupé"));
    w.reset();
    add(QStringLiteral("Longest stall, port busy, %1 descriptors open elsewhere").arg(held),
        QStringLiteral("%1 ms").arg(double(probe.longestNs()) / 1e6, 0, 'f', 0),
        namedMs >= 0 ? QStringLiteral("holder named after %1 ms").arg(namedMs) : QStringLiteral("holder not named"), 0,
        QStringLiteral("< 100 ms"), probe.longestNs() < 100'000'000 && busyShown);

    // Opening and closing a free port meanwhile: each call is the stall.
    PerfPty free;
    qputenv("VANTREL_COM1", free.path().toLocal8Bit());
    auto f = std::make_unique<frmVantrel>();
    f->Timer1->stop();
    f->show();
    double openMs = 0, closeMs = 0;
    for (int i = 0; i < (g_quick ? 5 : 20); ++i) {
        QElapsedTimer t;
        t.start();
        f->openPort();
        openMs = std::max(openMs, double(t.nsecsElapsed()) / 1e6);
        f->MSComm1->setOutput(QStringLiteral("\x1bS8\r")); // output pending at the close
        t.restart();
        f->Command2_Click();
        closeMs = std::max(closeMs, double(t.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
    }
    f.reset();
    add(QStringLiteral("Longest open of a free port, %1 descriptors open elsewhere").arg(held),
        QStringLiteral("%1 ms").arg(openMs, 0, 'f', 1), QStringLiteral("-"), 0, QStringLiteral("< 100 ms"), openMs < 100);
    add(QStringLiteral("Longest close with output pending"), QStringLiteral("%1 ms").arg(closeMs, 0, 'f', 1),
        QStringLiteral("-"), 0, QStringLiteral("< 100 ms"), closeMs < 100);
}

} // namespace perf
