// vantrel-perf: every benchmark in one run, printed as a table. Each row
// gives the figure, a baseline or floor measured in the same run, their
// ratio and the goal. The machines are shared and noisy: ratios count.
//
//   vantrel-perf            everything (about a minute)
//   vantrel-perf --quick    shorter runs, for a look
//   vantrel-perf --stalls   the system stalls and the sharer alone
//   vantrel-perf --drawing  the megabyte of lines and the flood alone
//   vantrel-perf --lines    the megabyte of lines alone
//   vantrel-perf --scans    the scanner bench alone

#include "Measures.h"
#include "MemoryPolicy.h"
#include "ScanBench.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace perf;

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
    if (mode == QLatin1String("--list-child")) {
        returnFreedMemoryToSystem();
        QApplication app(g_childArgc, g_childArgv);
        return ScanBench::listChild(argc > 2 ? std::atoi(argv[2]) : 1000000);
    }
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
        benchSharer();
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
    std::fprintf(stderr, "Sharer...\n");
    benchSharer();
    std::fprintf(stderr, "Scanner bench...\n");
    benchScans();
    printTable();
    return 0;
}
