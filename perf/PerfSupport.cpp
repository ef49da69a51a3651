#include "Measures.h"

#include "PerfPty.h"
#include "ReceptionBox.h"
#include "frmVantrel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/file.h>
#include <vector>

namespace perf {

bool g_quick = false;

int g_childArgc = 1;
namespace {
char g_childName[] = "vantrel-perf";
} // namespace
char *g_childArgv[] = {g_childName, nullptr};

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
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
namespace {
std::vector<Row> g_rows;
} // namespace

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

std::int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

QList<QByteArray> childFigures(const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments(args);
    p.start();
    p.waitForFinished(timeoutMs);
    return p.readAllStandardOutput().trimmed().split(' ');
}

double childFigure(const QStringList &args)
{
    return childFigures(args, 60000).value(0).toDouble();
}

void printTable()
{
    std::printf("\n| measure | figure | baseline or floor | ratio | goal | met |\n|---|---|---|---|---|---|\n");
    for (const Row &r : g_rows)
        std::printf("| %s | %s | %s | %s | %s | %s |\n", qPrintable(r.name), qPrintable(r.figure), qPrintable(r.baseline),
                    r.ratio > 0 ? qPrintable(QString::number(r.ratio, 'g', 3)) : "-", qPrintable(r.goal),
                    r.met ? "yes" : "NO");
}

} // namespace perf
