#include "Measures.h"

#include "PerfPty.h"
#include "FakeComm.h"
#include "ProcessStatus.h"
#include "frmVantrel.h"

#include <QApplication>
#include <QTest>

#include <cstdio>
#include <unistd.h>
#include <vector>

namespace perf {

// Start-up and memory, each in a fresh process.
int startupChild(bool bare, std::int64_t t0)
{
    QApplication app(g_childArgc, g_childArgv);
    std::unique_ptr<QWidget> w;
    if (bare)
        w = std::make_unique<QWidget>();
    else
        w = std::make_unique<frmVantrel>(new FakeComm);
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get()))
        return 1;
    std::printf("%lld\n", static_cast<long long>(monotonicNs() - t0));
    return 0;
}

int memoryChild(bool scans)
{
    QApplication app(g_childArgc, g_childArgv);
    PerfPty pty;
    auto w = windowOn(pty, false);
    w->show();
    if (scans) {
        // An hour of a scan every 500 ms, each taken by a tick.
        const QByteArray codes[] = {"4006381333931\r", "3017620422003\r", "5449000000996\r"};
        for (int i = 0; i < 7200; ++i) {
            pty.write(codes[i % 3]);
            w->Timer1_Timer();
            if (i % 100 == 0)
                QCoreApplication::processEvents();
        }
    }
    // VmHWM: the peak of this process image (ru_maxrss would carry the
    // parent's peak across fork and exec).
    std::printf("%lld\n", static_cast<long long>(ProcessStatus::kb("VmHWM:")));
    return 0;
}

void benchStartupAndMemory()
{
    const int runs = g_quick ? 3 : 10;
    auto startup = [&](const char *mode) {
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            const QString t0 = QString::number(monotonicNs());
            ms.push_back(childFigure({QString::fromLatin1(mode), t0}) / 1e6);
        }
        return percentile(ms, 50);
    };
    const double window = startup("--startup-child");
    const double bare = startup("--startup-bare");
    add(QStringLiteral("Start to first shown window (median of %1)").arg(runs), QStringLiteral("%1 ms").arg(window, 0, 'f', 0),
        QStringLiteral("%1 ms empty Qt window").arg(bare, 0, 'f', 0), window / bare, QStringLiteral("< 300 ms"), window < 300);

    const double hour = childFigure({QStringLiteral("--memory-child")}) / 1024.0;
    const double idle = childFigure({QStringLiteral("--memory-idle")}) / 1024.0;
    add(QStringLiteral("Peak memory after an hour of scans (7200)"), QStringLiteral("%1 MB").arg(hour, 0, 'f', 1),
        QStringLiteral("%1 MB at start").arg(idle, 0, 'f', 1), hour / idle, QStringLiteral("< 80 MB"), hour < 80);
}

} // namespace perf
