#include "Measures.h"

#include "frmVantrel.h"

#include "PerfPty.h"
#include "SerialComm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <poll.h>

namespace perf {

// 1. CPU while monitoring a silent device.
void benchCpu()
{
    const int ms = g_quick ? 3000 : 10000;
    PerfPty pty;
    double figure;
    {
        auto w = windowOn(pty, true);
        const double before = cpuSeconds();
        runFor(ms);
        figure = 100.0 * (cpuSeconds() - before) / (ms / 1000.0);
    }
    // The same with a full box, all of it selected, the caret in it.
    double selected;
    {
        auto w = windowOn(pty, true);
        w->show();
        fillAndSelect(*w);
        runFor(500);
        const double before = cpuSeconds();
        runFor(ms);
        selected = 100.0 * (cpuSeconds() - before) / (ms / 1000.0);
    }
    // The same ticks written as plain busy polling.
    double baseline;
    {
        qputenv("VANTREL_COM1", pty.path().toLocal8Bit());
        SerialComm comm;
        comm.setCommPort(1);
        comm.setPortOpen(true);
        QElapsedTimer clock;
        QTimer tick;
        tick.setInterval(500);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            clock.start();
            while (clock.elapsed() < 1000) {
                QCoreApplication::processEvents();
                if (comm.InBufferCount() >= 6)
                    break;
            }
            comm.Input();
        });
        tick.start();
        const double before = cpuSeconds();
        runFor(ms);
        baseline = 100.0 * (cpuSeconds() - before) / (ms / 1000.0);
    }
    add(QStringLiteral("CPU, silent device, port open (%1 s)").arg(ms / 1000),
        QStringLiteral("%1 % of a core").arg(figure, 0, 'f', 2), QStringLiteral("%1 % busy polling").arg(baseline, 0, 'f', 1),
        figure / baseline, QStringLiteral("< 1 %"), figure < 1.0);
    add(QStringLiteral("CPU, silent device, full box selected (%1 s)").arg(ms / 1000),
        QStringLiteral("%1 % of a core").arg(selected, 0, 'f', 2), QStringLiteral("%1 % with nothing selected").arg(figure, 0, 'f', 2),
        selected / std::max(figure, 0.01), QStringLiteral("< 1 %"), selected < 1.0);
}

} // namespace perf
