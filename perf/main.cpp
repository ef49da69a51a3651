// vantrel-perf: every benchmark in one run, printed as a table. Each row
// gives the figure, a baseline or floor measured in the same run, their
// ratio and the goal. The machines are shared and noisy: ratios count.
//
//   vantrel-perf            everything (about a minute)
//   vantrel-perf --quick    shorter runs, for a look
//   vantrel-perf --stalls   the system stalls alone
//   vantrel-perf --drawing  the megabyte of lines and the flood alone
//   vantrel-perf --lines    the megabyte of lines alone
//   vantrel-perf --scans    the scanner bench alone

#include "PerfPty.h"
#include "FakeComm.h"
#include "SerialComm.h"
#include "MemoryPolicy.h"
#include "ProcessStatus.h"
#include "ReceptionBox.h"
#include "ScanBench.h"
#include "frmVantrel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool g_quick = false;

// The child processes' own application, without the parent's arguments.
int g_childArgc = 1;
char g_childName[] = "vantrel-perf";
char *g_childArgv[] = {g_childName, nullptr};

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size() - 1) + 0.5));
    return v[i];
}

struct Row {
    QString name;
    QString figure;
    QString baseline;
    double ratio;
    QString goal;
    bool met;
};
std::vector<Row> g_rows;

void add(const QString &name, const QString &figure, const QString &baseline, double ratio, const QString &goal, bool met)
{
    g_rows.push_back({name, figure, baseline, ratio, goal, met});
    std::fprintf(stderr, "  %s: %s (baseline %s)\n", qPrintable(name), qPrintable(figure), qPrintable(baseline));
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A window on a real serial control, COM1 being the pty.
std::unique_ptr<frmVantrel> windowOn(const PerfPty &pty, bool timer)
{
    qputenv("VANTREL_COM1", pty.path().toLocal8Bit());
    auto w = std::make_unique<frmVantrel>();
    if (!timer)
        w->Timer1->stop();
    w->openPort(); // COM1
    return w;
}

// The operator has filled the box to its cap, selected all of it and left
// the caret in it.
void fillAndSelect(frmVantrel &w)
{
    w.Text1->append(QString(ReceptionBox::DefaultCap - 1024, u'7'));
    w.Text1->finishAppends();
    w.Text1->setFocus();
    w.Text1->selectAll();
}

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

// 5. Start-up and memory, each in a fresh process.
std::int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

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
    QElapsedTimer sinceLast;
    sinceLast.start();
    qint64 longestNs = 0;
    QElapsedTimer quiet; // how long everything has been taken and shown
    QElapsedTimer sinceStart;
    sinceStart.start();
    qint64 drawnMs = -1; // everything taken, shown and painted
    QEventLoop loop;
    QTimer probe;
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestNs = std::max(longestNs, sinceLast.nsecsElapsed() - 2'000'000);
        sinceLast.restart();
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
    probe.start();
    loop.exec();
    device.join();
    for (qint64 &r : rss)
        if (r < 0)
            r = ProcessStatus::kb("VmRSS:");
    w->Text1->stopJournal();
    const qint64 journalBytes = journal.isEmpty() ? -1 : QFileInfo(journal).size();
    std::printf("%lld %lld %lld %lld %lld %lld %lld\n", static_cast<long long>(rss[0]),
                static_cast<long long>(rss[1]), static_cast<long long>(rss[2]),
                static_cast<long long>(ProcessStatus::kb("VmHWM:")), static_cast<long long>(longestNs / 1'000'000),
                static_cast<long long>(drawnMs), static_cast<long long>(journalBytes));
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

double childFigure(const QStringList &args)
{
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments(args);
    p.start();
    p.waitForFinished(60000);
    return p.readAllStandardOutput().trimmed().toDouble();
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
    QElapsedTimer sinceLast;
    sinceLast.start();
    qint64 longestNs = 0;
    qint64 namedMs = -1;
    const QString pid = QStringLiteral("(pid ") + QString::number(holder) + QLatin1Char(')');
    QTimer probe;
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestNs = std::max(longestNs, sinceLast.nsecsElapsed() - 2'000'000);
        sinceLast.restart();
        if (namedMs < 0 && w->statusText().contains(pid))
            namedMs = search.elapsed();
    });
    probe.start();
    runFor(g_quick ? 4000 : 8000);
    probe.stop();
    const bool busyShown = w->statusText().contains(QStringLiteral("occupé"));
    w.reset();
    add(QStringLiteral("Longest stall, port busy, %1 descriptors open elsewhere").arg(held),
        QStringLiteral("%1 ms").arg(double(longestNs) / 1e6, 0, 'f', 0),
        namedMs >= 0 ? QStringLiteral("holder named after %1 ms").arg(namedMs) : QStringLiteral("holder not named"), 0,
        QStringLiteral("< 100 ms"), longestNs < 100'000'000 && busyShown);

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

// 8. The scanner bench: framing scans split at random points, and the
// window holding 100,000 of them.
void benchScans()
{
    const int scans = g_quick ? 20000 : 100000;
    for (const auto &[ending, name] : {std::pair{ScanFramer::Ending::Automatic, "CR, LF or CR LF"},
                                       std::pair{ScanFramer::Ending::Silence, "silence"}}) {
        const ScanBench::Framing f = ScanBench::framing(ending, scans, 2026);
        add(QStringLiteral("Framing %1 scans split at random, by %2").arg(scans).arg(QLatin1String(name)),
            QStringLiteral("%1 rows, %2 whole").arg(f.rows).arg(f.whole),
            QStringLiteral("%1 sent; %2 ms").arg(f.sent).arg(f.msTotal, 0, 'f', 0), 0,
            QStringLiteral("every scan one row"), f.rows == f.sent && f.whole == f.sent);
    }
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments({QStringLiteral("--scans-child"), QString::number(scans)});
    p.start();
    p.waitForFinished(700000);
    const QList<QByteArray> v = p.readAllStandardOutput().trimmed().split(' ');
    if (v.size() != 5) {
        add(QStringLiteral("Bench window with %1 scans").arg(scans), QStringLiteral("failed"), QStringLiteral("-"), 0,
            QStringLiteral("-"), false);
        return;
    }
    add(QStringLiteral("Bench window: %1 scans sent as fast as the line takes them").arg(scans),
        QStringLiteral("%1 rows held, all in %2 ms").arg(QString::fromLatin1(v[0]), QString::fromLatin1(v[4])),
        QStringLiteral("-"), 0, QStringLiteral("every scan a row"), v[0].toInt() == scans);
    add(QStringLiteral("Bench window: peak memory with %1 rows").arg(scans),
        QStringLiteral("%1 MB").arg(v[1].toDouble() / 1024, 0, 'f', 1),
        QStringLiteral("%1 MB at the end").arg(v[2].toDouble() / 1024, 0, 'f', 1), 0, QStringLiteral("bounded"), true);
    add(QStringLiteral("Bench window: longest stall"), QStringLiteral("%1 ms").arg(QString::fromLatin1(v[3])),
        QStringLiteral("-"), 0, QStringLiteral("< 100 ms"), v[3].toInt() < 100);

    // The read-rate test against the simulator's own delay and no-read share.
    const int triggers = g_quick ? 50 : 200;
    const int delay = 40;
    const double share = 0.1;
    const ScanBench::ReadRate r = ScanBench::readRate(triggers, delay, share);
    if (!r.ran) {
        add(QStringLiteral("Read-rate test on the simulator"), QStringLiteral("failed"), QStringLiteral("-"), 0,
            QStringLiteral("-"), false);
        return;
    }
    add(QStringLiteral("Read-rate test, %1 triggers: trigger to data, p50 (p95, max)").arg(triggers),
        QStringLiteral("%1 ms (%2, %3)").arg(r.p50).arg(r.p95).arg(r.max),
        QStringLiteral("%1 ms set in the simulator; %2 s in all").arg(delay).arg(r.seconds, 0, 'f', 1),
        double(r.p50) / delay, QStringLiteral("p50 within 5 ms"), std::abs(r.p50 - delay) <= 5);
    // The binomial spread of the no-reads: two standard deviations.
    const double expected = triggers * share;
    const double spread = 2 * std::sqrt(triggers * share * (1 - share));
    add(QStringLiteral("Read-rate test, %1 triggers: no-reads").arg(triggers), QString::number(r.noReads),
        QStringLiteral("%1 ± %2 expected").arg(expected, 0, 'f', 0).arg(spread, 0, 'f', 1), r.noReads / expected,
        QStringLiteral("within the spread"), std::abs(r.noReads - expected) <= spread);
}

void printTable()
{
    std::printf("\n| measure | figure | baseline or floor | ratio | goal | met |\n|---|---|---|---|---|---|\n");
    for (const Row &r : g_rows)
        std::printf("| %s | %s | %s | %s | %s | %s |\n", qPrintable(r.name), qPrintable(r.figure), qPrintable(r.baseline),
                    r.ratio > 0 ? qPrintable(QString::number(r.ratio, 'g', 3)) : "-", qPrintable(r.goal),
                    r.met ? "yes" : "NO");
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The windows measured here number ports as the tool does: never in the
    // user's own settings. The children inherit the folder.
    static QTemporaryDir config;
    if (qEnvironmentVariableIsEmpty("VANTREL_BENCH_CONFIG")) {
        qputenv("VANTREL_BENCH_CONFIG", "1");
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("--startup-child") || mode == QLatin1String("--startup-bare"))
        return startupChild(mode == QLatin1String("--startup-bare"), argc > 2 ? std::atoll(argv[2]) : 0);
    if (mode == QLatin1String("--flood-child"))
        return floodChild(argc > 2 ? std::atoll(argv[2]) : 100,
                          argc > 3 && qstrcmp(argv[3], "--selected") == 0,
                          argc > 4 && qstrcmp(argv[3], "--journal") == 0 ? QString::fromLocal8Bit(argv[4]) : QString());
    if (mode == QLatin1String("--memory-child") || mode == QLatin1String("--memory-idle"))
        return memoryChild(mode == QLatin1String("--memory-child"));
    if (mode == QLatin1String("--scans-child")) {
        returnFreedMemoryToSystem(); // as the program does
        QApplication app(g_childArgc, g_childArgv);
        return ScanBench::windowChild(argc > 2 ? std::atoi(argv[2]) : 100000);
    }
    g_quick = mode == QLatin1String("--quick");

    QApplication app(argc, argv);
    if (mode == QLatin1String("--lines")) {
        benchLines();
        printTable();
        return 0;
    }
    if (mode == QLatin1String("--drawing")) {
        benchLines();
        benchFlood();
        printTable();
        return 0;
    }
    if (mode == QLatin1String("--scans")) {
        benchScans();
        printTable();
        return 0;
    }
    if (mode == QLatin1String("--stalls")) {
        benchSystemStalls();
        printTable();
        return 0;
    }
    std::fprintf(stderr, "CPU...\n");
    benchCpu();
    std::fprintf(stderr, "Reaction...\n");
    benchReaction();
    std::fprintf(stderr, "Append...\n");
    benchAppend();
    std::fprintf(stderr, "Throughput...\n");
    benchThroughput();
    std::fprintf(stderr, "Start-up and memory...\n");
    benchStartupAndMemory();
    std::fprintf(stderr, "Lines...\n");
    benchLines();
    std::fprintf(stderr, "Flood...\n");
    benchFlood();
    std::fprintf(stderr, "System stalls...\n");
    benchSystemStalls();
    std::fprintf(stderr, "Scanner bench...\n");
    benchScans();
    printTable();
    return 0;
}
