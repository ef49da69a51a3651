#include "Measures.h"

#include "frmVantrel.h"

#include "PerfPty.h"
#include "MemoryPolicy.h"
#include "ProcessStatus.h"
#include "StallProbe.h"
#include "ReceptionBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace perf {

// A device sending as fast as the line takes it, into the window with its
// timer running: resident memory after 10, 50 and 100 MiB, the peak, and
// the longest time the window's thread went without handling events.
int floodChild(qint64 totalMiB, bool selected, const QString &journal)
{
    returnFreedMemoryToSystem(); // as the program does

    QApplication app(g_childArgc, g_childArgv);
    PerfPty pty;
    auto w = windowOn(pty, true);
    w->show();
    if (selected)
        fillAndSelect(*w);
    if (!journal.isEmpty())
        w->Text1->startJournal(journal);

    std::atomic<qint64> written{0};
    std::atomic<bool> finished{false};
    std::thread device([&] {
        QByteArray chunk(64 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < chunk.size(); ++i)
            chunk[i] = char(i % 97 == 96 ? '\r' : '0' + i % 10);
        for (qint64 sent = 0; sent < (totalMiB << 20); sent += chunk.size()) {
            pty.write(chunk);
            written = sent + chunk.size();
        }
        finished = true;
    });

    const qint64 marks[] = {10, 50, 100};
    qint64 rss[3] = {-1, -1, -1};
    QElapsedTimer quiet; // how long everything has been taken and shown
    QElapsedTimer sinceStart;
    sinceStart.start();
    qint64 drawnMs = -1; // everything taken, shown and painted
    QEventLoop loop;
    const StallProbe probe([&] {
        for (int i = 0; i < 3; ++i)
            if (rss[i] < 0 && marks[i] < totalMiB && written >= (marks[i] << 20))
                rss[i] = ProcessStatus::kb("VmRSS:");
        const bool idle = finished && w->MSComm1->InBufferCount() == 0 && !w->Text1->appending();
        if (!idle) {
            quiet.invalidate();
            drawnMs = -1;
        } else if (!quiet.isValid()) {
            quiet.start();
            w->Text1->viewport()->repaint();
            drawnMs = sinceStart.elapsed();
        }
        else if (quiet.elapsed() > 1500) // a tick or two with nothing left
            loop.quit();
    });
    loop.exec();
    device.join();
    for (qint64 &r : rss)
        if (r < 0)
            r = ProcessStatus::kb("VmRSS:");
    w->Text1->stopJournal();
    const qint64 journalBytes = journal.isEmpty() ? -1 : QFileInfo(journal).size();
    std::printf("%lld %lld %lld %lld %lld %lld %lld\n", static_cast<long long>(rss[0]),
                static_cast<long long>(rss[1]), static_cast<long long>(rss[2]),
                static_cast<long long>(ProcessStatus::kb("VmHWM:")), static_cast<long long>(probe.longestMs()),
                static_cast<long long>(drawnMs), static_cast<long long>(journalBytes));
    return 0;
}

// 6. A flood of data into the window, in a fresh process.
void benchFlood()
{
    const qint64 total = g_quick ? 20 : 100;
    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("flood.bin"));
    auto run = [total](const QStringList &extra) {
        QProcess p;
        p.setProgram(QCoreApplication::applicationFilePath());
        p.setArguments(QStringList{QStringLiteral("--flood-child"), QString::number(total)} + extra);
        p.start();
        p.waitForFinished(600000);
        return p.readAllStandardOutput().trimmed().split(' ');
    };
    const QList<QByteArray> f = run({});
    const QList<QByteArray> s = run({QStringLiteral("--selected")});
    const QList<QByteArray> j = run({QStringLiteral("--journal"), journal});
    if (f.size() != 7) {
        add(QStringLiteral("Flood of %1 MiB").arg(total), QStringLiteral("failed"), QStringLiteral("-"), 0,
            QStringLiteral("-"), false);
        return;
    }
    auto mb = [](const QByteArray &kb) { return kb.toDouble() / 1024.0; };
    const char *at[] = {"10", "50", "100"};
    for (int i = 0; i < 3; ++i) {
        if (QByteArray(at[i]).toLongLong() > total)
            continue;
        add(QStringLiteral("Resident memory after %1 MiB at full speed").arg(QLatin1String(at[i])),
            QStringLiteral("%1 MB").arg(mb(f[i]), 0, 'f', 0), QStringLiteral("-"), 0, QStringLiteral("< 200 MB"),
            mb(f[i]) < 200);
    }
    add(QStringLiteral("Peak resident memory, %1 MiB at full speed").arg(total),
        QStringLiteral("%1 MB").arg(mb(f[3]), 0, 'f', 0), QStringLiteral("-"), 0, QStringLiteral("< 250 MB"),
        mb(f[3]) < 250);
    add(QStringLiteral("Longest time without handling events, %1 MiB").arg(total),
        QStringLiteral("%1 ms").arg(f[4].toDouble(), 0, 'f', 0), QStringLiteral("-"), 0, QStringLiteral("< 100 ms"),
        f[4].toDouble() < 100);
    add(QStringLiteral("%1 MiB at full speed, until taken and drawn").arg(total),
        QStringLiteral("%1 s").arg(f[5].toDouble() / 1000, 0, 'f', 1), QStringLiteral("-"), 0, QStringLiteral("< 6 s"),
        f[5].toDouble() >= 0 && f[5].toDouble() < 6000);
    if (s.size() == 7)
        add(QStringLiteral("The same, full box selected, caret in it"), QStringLiteral("%1 ms").arg(s[4].toDouble(), 0, 'f', 0),
            QStringLiteral("%1 ms with nothing selected").arg(f[4].toDouble(), 0, 'f', 0),
            s[4].toDouble() / std::max(f[4].toDouble(), 1.0), QStringLiteral("< 100 ms"), s[4].toDouble() < 100);
    if (j.size() == 7)
        add(QStringLiteral("The same with a journal: bytes in it"), QStringLiteral("%1 of %2").arg(QString::fromLatin1(j[6])).arg(total << 20),
            QStringLiteral("drawn after %1 s").arg(j[5].toDouble() / 1000, 0, 'f', 1), 0, QStringLiteral("every byte"),
            j[6].toLongLong() == (total << 20));
}

} // namespace perf
