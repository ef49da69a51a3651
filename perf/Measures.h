#pragma once

// The benchmarks' measures, one file each, and what they share: the table
// they add their rows to, and the helpers that set up a window on a pty.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class PerfPty;
class frmVantrel;

namespace perf {

// --quick: shorter runs.
extern bool g_quick;
// The child processes' own application, without the parent's arguments.
extern int g_childArgc;
extern char *g_childArgv[];

// One row of the table: the figure, a baseline or floor measured in the
// same run, their ratio (0: none) and the goal.
void add(const QString &name, const QString &figure, const QString &baseline, double ratio, const QString &goal, bool met);
void printTable();

double cpuSeconds();
// The calling thread's own CPU time.
double threadCpuSeconds();
double percentile(std::vector<double> v, double p);
std::int64_t monotonicNs();
// Runs the event loop for `ms`.
void runFor(int ms);
// A window on a real serial control, COM1 being the pty.
std::unique_ptr<frmVantrel> windowOn(const PerfPty &pty, bool timer);
// The operator has filled the box to its cap, selected all of it and left
// the caret in it.
void fillAndSelect(frmVantrel &w);
// This program run with `args`: the words it prints, or the one number.
QList<QByteArray> childFigures(const QStringList &args, int timeoutMs);
double childFigure(const QStringList &args);

void benchCpu();
void benchReaction();
void benchAppend();
void benchThroughput();
void benchStartupAndMemory();
void benchFlood();
void benchLines();
void benchSystemStalls();
void benchScans();
void benchSharer();

// The measures run in a fresh process of their own.
int startupChild(bool bare, std::int64_t t0);
int floodChild(qint64 totalMiB, bool selected, const QString &journal);
int memoryChild(bool scans);

} // namespace perf
