#include "Measures.h"

#include "FakeComm.h"
#include "ReceptionBox.h"
#include "frmVantrel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace perf {

// 3. Append cost with the box already holding 0, 1 MB, 10 MB.
void benchAppend()
{
    const QByteArray scan("4006381333931\r");
    auto appendCost = [&](qsizetype prefill) {
        auto *comm = new FakeComm;
        frmVantrel w(comm);
        w.Timer1->stop();
        w.show();
        comm->setPortOpen(true);
        if (prefill > 0) {
            QString line = QStringLiteral("4006381333931\u240D");
            QString block;
            while (block.size() < 64 * 1024)
                block += line + QChar::ParagraphSeparator;
            QTextCursor c(w.Text1->document());
            for (qsizetype done = 0; done < prefill; done += block.size()) {
                c.movePosition(QTextCursor::End);
                c.insertText(block);
            }
        }
        QCoreApplication::processEvents();
        std::vector<double> us;
        for (int i = 0; i < (g_quick ? 50 : 200); ++i) {
            for (int k = 0; k < 20; ++k) // the box fills past its cap
                comm->arrive(scan);
            QElapsedTimer t;
            t.start();
            w.Command5_Click();
            w.Text1->viewport()->repaint();
            us.push_back(double(t.nsecsElapsed()) / 1e3);
        }
        return percentile(us, 50);
    };
    const double empty = appendCost(0);
    const double one = appendCost(1 << 20);
    // At the cap, each append also takes the oldest line out.
    const double full = appendCost(ReceptionBox::DefaultCap - 64 * 1024);
    add(QStringLiteral("Append of a scan, box holding 1 MB"), QStringLiteral("%1 µs").arg(one, 0, 'f', 0),
        QStringLiteral("%1 µs on an empty box").arg(empty, 0, 'f', 0), one / empty, QStringLiteral("-"), true);
    add(QStringLiteral("Append of a scan, box at its cap (8 MiB)"), QStringLiteral("%1 µs").arg(full, 0, 'f', 0),
        QStringLiteral("%1 µs on an empty box").arg(empty, 0, 'f', 0), full / empty, QStringLiteral("< 2x empty"),
        full < 2 * empty);

    // A 1 MB burst with no spaces, shown.
    auto *comm = new FakeComm;
    frmVantrel w(comm);
    w.Timer1->stop();
    w.show();
    comm->setPortOpen(true);
    QByteArray burst(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < burst.size(); ++i)
        burst[i] = char('0' + i % 10);
    comm->arrive(burst);
    QElapsedTimer t;
    t.start();
    w.Command5_Click();
    w.Text1->finishAppends(); // every slice, without the event passes between them
    w.Text1->viewport()->repaint();
    const double burstMs = double(t.nsecsElapsed()) / 1e6;
    add(QStringLiteral("Show a 1 MB burst (no spaces), all its slices"), QStringLiteral("%1 ms").arg(burstMs, 0, 'f', 0),
        QStringLiteral("-"), 0, QStringLiteral("-"), true);
}

} // namespace perf
