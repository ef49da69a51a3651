#include "Measures.h"

#include "PerfPty.h"
#include "ReceptionBox.h"
#include "frmVantrel.h"

#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <thread>
#include <vector>

namespace perf {

// 8. A megabyte of lines, as the operator sees it: 80-byte lines ending in
// CR LF, written at once by the device into a window whose timer runs. The
// next tick takes them (within 500 ms, by design); the figure runs from the
// device's first byte to the box holding every line with its viewport
// painted. Median of 5 rounds.
void benchLines()
{
    PerfPty pty;
    auto w = windowOn(pty, true);
    w->show();
    QByteArray lines;
    for (int i = 0; lines.size() + 80 <= (1 << 20); ++i)
        lines += QByteArray::number(1000000 + i) + QByteArray(71, 'A' + char(i % 26)) + "\r\n";
    std::vector<double> ms;
    for (int round = 0; round < (g_quick ? 2 : 5); ++round) {
        w->Text1->clearBox();
        runFor(700);
        const std::int64_t t0 = PerfPty::nowNs();
        std::thread device([&] { pty.write(lines); });
        double took = -1;
        QEventLoop loop;
        QTimer probe;
        probe.setInterval(1);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (w->MSComm1->InBufferCount() > 0 || w->Text1->appending()
                || w->Text1->document()->characterCount() < lines.size())
                return;
            w->Text1->viewport()->repaint();
            took = double(PerfPty::nowNs() - t0) / 1e6;
            loop.quit();
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        probe.start();
        loop.exec();
        device.join();
        ms.push_back(took);
    }
    const double p50 = percentile(ms, 50);
    add(QStringLiteral("1 MiB of 80-byte lines (CR LF) written at once, until drawn"),
        QStringLiteral("%1 ms (%2-%3)").arg(p50, 0, 'f', 0).arg(*std::min_element(ms.begin(), ms.end()), 0, 'f', 0)
            .arg(*std::max_element(ms.begin(), ms.end()), 0, 'f', 0),
        QStringLiteral("%1 ms, the tick's period").arg(frmVantrel::TickMs), p50 / frmVantrel::TickMs,
        QStringLiteral("< 600 ms"), p50 > 0 && p50 < 600);
}

} // namespace perf
