#include "FrenchNumber.h"
#include "ReadRateFigures.h"

#include <QLocale>

#include <algorithm>

qint64 ReadRateFigures::percentile(int p) const
{
    if (timesMs.isEmpty())
        return -1;
    QList<qint64> sorted = timesMs;
    std::sort(sorted.begin(), sorted.end());
    const qsizetype rank = std::max<qsizetype>(1, (qsizetype(p) * sorted.size() + 99) / 100);
    return sorted[std::min(rank, sorted.size()) - 1];
}

qint64 ReadRateFigures::maximum() const
{
    return timesMs.isEmpty() ? -1 : *std::max_element(timesMs.begin(), timesMs.end());
}

QList<int> ReadRateFigures::histogram() const
{
    QList<int> bins(BinCount, 0);
    for (qint64 t : timesMs) {
        int b = 0;
        while (b < BinCount - 1 && t > BinLimits[b])
            ++b;
        ++bins[b];
    }
    return bins;
}

QString ReadRateFigures::binName(int bin)
{
    if (bin < BinCount - 1)
        return QStringLiteral("≤") + frenchNumber(BinLimits[bin]) + QStringLiteral(" ms");
    return QStringLiteral(">") + frenchNumber(BinLimits[BinCount - 2]) + QStringLiteral(" ms");
}

QString ReadRateFigures::readsText() const
{
    if (triggers == 0)
        return QStringLiteral("aucune gâchette envoyée");
    const double share = 100.0 * goodReads() / triggers;
    return QStringLiteral("%1 bonne%2 lecture%2 sur %3 (%4 %), %5 sans lecture")
        .arg(frenchNumber(goodReads()), goodReads() > 1 ? QStringLiteral("s") : QString(), frenchNumber(triggers),
             QLocale(QLocale::French).toString(share, 'f', 1), frenchNumber(noReads));
}

QString ReadRateFigures::timesText() const
{
    if (timesMs.isEmpty())
        return QStringLiteral("aucun temps mesuré");
    return QStringLiteral("p50 %1 ms, p95 %2 ms, max %3 ms")
        .arg(frenchNumber(percentile(50)), frenchNumber(percentile(95)), frenchNumber(maximum()));
}

QString ReadRateFigures::histogramText() const
{
    const QList<int> bins = histogram();
    const int most = std::max(1, *std::max_element(bins.begin(), bins.end()));
    QString t;
    for (int b = 0; b < BinCount; ++b) {
        const int bar = (bins[b] * 20 + most - 1) / most;
        t += binName(b).leftJustified(10) + QString::number(bins[b]).rightJustified(6) + QStringLiteral("  ")
            + QString(bar, QChar(0x2588)) + u'\n';
    }
    return t;
}
