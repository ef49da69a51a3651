#include "ScanBench.h"

#include "Measures.h"
#include "PerfPty.h"
#include "BenchWindow.h"
#include "ProcessStatus.h"
#include "StallProbe.h"
#include "SimProcess.h"
#include "frmVantrel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

namespace {

QByteArray digits(std::mt19937 &rng, int n)
{
    QByteArray s(n, '0');
    for (char &c : s)
        c = char('0' + rng() % 10);
    return s;
}

} // namespace

ScanBench::Framing ScanBench::framing(ScanFramer::Ending ending, int scans, unsigned seed)
{
    std::mt19937 rng(seed);
    const bool silence = ending == ScanFramer::Ending::Silence;
    // The reads as the control would stamp them: within a scan a few
    // milliseconds apart, between scans (by silence) well past the silence.
    QList<QByteArray> sent;
    TakenBytes all;
    qint64 ms = 0;
    static const char *const terminators[] = {"\r", "\n", "\r\n"};
    for (int i = 0; i < scans; ++i) {
        sent << digits(rng, 8 + int(rng() % 7));
        const QByteArray bytes = silence ? sent.last() : sent.last() + terminators[rng() % 3];
        ms += silence ? ScanFramer::DefaultSilenceMs + 10 : 0;
        qsizetype at = 0;
        while (at < bytes.size()) {
            const qsizetype n = std::min<qsizetype>(bytes.size() - at, 1 + rng() % 9);
            all.bytes += bytes.mid(at, n);
            all.reads.append({all.bytes.size(), ms});
            ms += rng() % 4;
            at += n;
        }
    }
    if (!silence) {
        // Without a silence to go by, reads may also join across scans.
        QList<TakenBytes::Read> joined;
        for (const TakenBytes::Read &r : all.reads)
            if (!joined.isEmpty() && rng() % 3 == 0)
                joined.last() = r;
            else
                joined.append(r);
        all.reads = joined;
    }
    // Takes of any number of reads, as ticks that come at any moment.
    QList<TakenBytes> takes;
    for (qsizetype r = 0; r < all.reads.size();) {
        const qsizetype n = std::min<qsizetype>(all.reads.size() - r, 1 + rng() % 40);
        const qsizetype from = r == 0 ? 0 : all.reads[r - 1].end;
        TakenBytes t;
        t.bytes = all.bytes.mid(from, all.reads[r + n - 1].end - from);
        for (qsizetype k = r; k < r + n; ++k)
            t.reads.append({all.reads[k].end - from, all.reads[k].ms});
        takes << t;
        r += n;
    }

    ScanFramer framer;
    framer.setEnding(ending, ScanFramer::DefaultSilenceMs);
    QList<FramedScan> got;
    QElapsedTimer timer;
    timer.start();
    for (const TakenBytes &t : takes)
        got += framer.feed(t);
    if (auto last = framer.closeIfSilent(ms + 1000, all.reads.last().ms))
        got << *last;
    Framing f;
    f.msTotal = double(timer.nsecsElapsed()) / 1e6;
    f.sent = scans;
    f.rows = int(got.size());
    for (qsizetype i = 0; i < std::min(got.size(), sent.size()); ++i)
        f.whole += got[i].data == sent[i] ? 1 : 0;
    return f;
}

int ScanBench::windowChild(int scans)
{
    PerfPty pty;
    qputenv("VANTREL_COM1", pty.path().toLocal8Bit());
    frmVantrel w;
    w.show();
    w.openPort();
    w.showBench();
    const BenchWindow *bench = w.bench();

    std::atomic<bool> finished{false};
    std::thread device([&] {
        std::mt19937 rng(7);
        QByteArray burst;
        for (int i = 0; i < scans; ++i) {
            burst += "]E0" + digits(rng, 13) + "\r\n";
            if (burst.size() > 16384 || i + 1 == scans) {
                pty.write(burst);
                burst.clear();
            }
        }
        finished = true;
    });

    QElapsedTimer sinceStart;
    sinceStart.start();
    qint64 allRowsMs = -1;
    QEventLoop loop;
    const StallProbe probe([&] {
        const qint64 shown = bench->table().rowCount() + bench->table().left();
        if (finished && shown >= scans && bench->idle() && allRowsMs < 0)
            allRowsMs = sinceStart.elapsed();
        if (allRowsMs >= 0 || sinceStart.elapsed() > 600'000)
            loop.quit();
    });
    loop.exec();
    device.join();
    std::printf("%d %lld %lld %lld %lld\n", bench->table().rowCount(), static_cast<long long>(ProcessStatus::kb("VmHWM:")),
                static_cast<long long>(ProcessStatus::kb("VmRSS:")), static_cast<long long>(probe.longestMs()),
                static_cast<long long>(allRowsMs));
    return 0;
}

ScanBench::ReadRate ScanBench::readRate(int triggers, int delayMs, double noRead)
{
    ReadRate r;
    SimProcess sim;
    if (!sim.start({QStringLiteral("--delay"), QString::number(delayMs), QStringLiteral("--no-read"),
                    QString::number(noRead), QStringLiteral("--codes"), QStringLiteral("4006381333931")}))
        return r;
    qputenv("VANTREL_COM1", sim.path().toLocal8Bit());
    frmVantrel w;
    w.show();
    w.openPort();
    w.showBench();
    QEventLoop loop;
    QObject::connect(&w.bench()->readRateTest(), &ReadRateTest::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(100, &loop, [&] { // the simulator looks for its other side every 20 ms
        if (!w.bench()->startReadRate(triggers, 300, 20).isEmpty())
            loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    loop.exec();
    r.seconds = double(timer.elapsed()) / 1000;
    const ReadRateFigures &f = w.bench()->readRateTest().figures();
    r.ran = f.triggers == triggers;
    r.triggers = f.triggers;
    r.noReads = f.noReads;
    r.p50 = f.percentile(50);
    r.p95 = f.percentile(95);
    r.max = f.maximum();
    sim.stop();
    return r;
}

int ScanBench::listChild(int codes)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("stock.txt"));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QByteArray all;
        all.reserve(qsizetype(codes) * 15);
        for (int i = 0; i < codes; ++i)
            all += QByteArray::number(4000000000000LL + qint64(i) * 7919) + "\r\n";
        f.write(all);
    }
    PerfPty pty;
    const std::unique_ptr<frmVantrel> w = perf::windowOn(pty, true);
    w->show();
    w->showBench();
    BenchWindow *bench = w->bench();
    QCoreApplication::processEvents();

    // The load, the window's events timed throughout.
    QElapsedTimer clock;
    QEventLoop loop;
    bool loaded = false;
    QObject::connect(bench, &BenchWindow::listDone, &loop, [&] {
        loaded = true;
        loop.quit();
    });
    clock.start();
    StallProbe loadProbe;
    bench->loadList(file);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    if (!loaded)
        loop.exec();
    const qint64 loadMs = clock.elapsed();
    loadProbe.stop();
    if (!loaded)
        return 1;
    // Three of them read.
    pty.write("4000000000000\r\n4000000007919\r\n4000000015838\r\n");
    QElapsedTimer waited;
    waited.start();
    while (bench->tally().scans() < 3 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    // "Codes manquants", until the window has been drawn.
    StallProbe missingProbe;
    clock.restart();
    bench->findChild<QPushButton *>(QStringLiteral("showMissing"))->click();
    auto *view = bench->findChild<QListView *>(QStringLiteral("missingCodes"));
    QEventLoop drawn;
    QTimer::singleShot(300, &drawn, &QEventLoop::quit);
    drawn.exec();
    const qint64 missingMs = clock.elapsed() - 300;
    missingProbe.stop();
    std::printf("%lld %lld %lld %lld %lld %d\n", static_cast<long long>(loadMs),
                static_cast<long long>(loadProbe.longestMs()), static_cast<long long>(missingMs),
                static_cast<long long>(missingProbe.longestMs()), static_cast<long long>(ProcessStatus::kb("VmHWM:")),
                view ? view->model()->rowCount() : -1);
    return 0;
}
