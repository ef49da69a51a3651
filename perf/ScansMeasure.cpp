#include "Measures.h"

#include "ScanBench.h"


#include <cmath>
#include <unistd.h>

namespace perf {

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
    const QList<QByteArray> v = childFigures({QStringLiteral("--scans-child"), QString::number(scans)}, 700000);
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

    // A stock-take's list of a million codes: loaded and "Codes manquants"
    // shown without stalling the window, in bounded memory.
    const int codes = g_quick ? 200000 : 1000000;
    const QList<QByteArray> l = childFigures({QStringLiteral("--list-child"), QString::number(codes)}, 300000);
    if (l.size() != 6) {
        add(QStringLiteral("List of %1 codes").arg(codes), QStringLiteral("failed"), QStringLiteral("-"), 0,
            QStringLiteral("-"), false);
    } else {
        add(QStringLiteral("List of %1 codes: load, longest stall").arg(codes),
            QStringLiteral("%1 ms").arg(QString::fromLatin1(l[1])),
            QStringLiteral("loaded in %1 ms").arg(QString::fromLatin1(l[0])), 0, QStringLiteral("< 100 ms"),
            l[1].toInt() < 100);
        add(QStringLiteral("List of %1 codes: \"Codes manquants\", longest stall").arg(codes),
            QStringLiteral("%1 ms").arg(QString::fromLatin1(l[3])),
            QStringLiteral("%1 rows, shown in %2 ms").arg(QString::fromLatin1(l[5]), QString::fromLatin1(l[2])), 0,
            QStringLiteral("< 100 ms"), l[3].toInt() < 100 && l[5].toInt() == codes - 3);
        add(QStringLiteral("List of %1 codes: peak memory").arg(codes),
            QStringLiteral("%1 MB").arg(l[4].toDouble() / 1024, 0, 'f', 1), QStringLiteral("-"), 0,
            QStringLiteral("< 200 MB"), l[4].toDouble() / 1024 < 200);
    }

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
        double(r.p50) / delay, QStringLiteral("p50 within 3 ms"), std::abs(r.p50 - delay) <= 3);
    // The binomial spread of the no-reads: two standard deviations.
    const double expected = triggers * share;
    const double spread = 2 * std::sqrt(triggers * share * (1 - share));
    add(QStringLiteral("Read-rate test, %1 triggers: no-reads").arg(triggers), QString::number(r.noReads),
        QStringLiteral("%1 ± %2 expected").arg(expected, 0, 'f', 0).arg(spread, 0, 'f', 1), r.noReads / expected,
        QStringLiteral("within the spread"), std::abs(r.noReads - expected) <= spread);
}

} // namespace perf
