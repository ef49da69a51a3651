#include "FrenchNumber.h"
#include "ReadRateChart.h"

#include <QBuffer>
#include <QLocale>
#include <QPainter>

#include <algorithm>

QImage ReadRateChart::image(const ReadRateFigures &f, const QString &setting)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(15);
    p.setFont(font);
    p.setPen(Qt::black);

    // The heading: what was run and what came of it.
    const int margin = 24;
    const int line = p.fontMetrics().height();
    int y = margin;
    QFont bold = font;
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRect(margin, y, Width - 2 * margin, line), Qt::AlignLeft,
               QStringLiteral("Test de lecture") + (f.stopped ? QStringLiteral(" (arrêté avant la fin)") : QString()));
    p.setFont(font);
    for (const QString &text : {setting, f.readsText(), QStringLiteral("Gâchette → données : ") + f.timesText()}) {
        if (text.isEmpty())
            continue;
        y += line + 2;
        p.drawText(QRect(margin, y, Width - 2 * margin, line), Qt::AlignLeft, text);
    }

    // The bars, scaled to the fullest bin.
    const QList<int> bins = f.histogram();
    const int most = std::max(1, *std::max_element(bins.begin(), bins.end()));
    const int top = y + 2 * line + 8;
    const int bottom = Height - margin - line - 4;
    const int slot = (Width - 2 * margin) / ReadRateFigures::BinCount;
    p.setPen(QColor(90, 90, 90));
    p.drawLine(margin, bottom, Width - margin, bottom);
    for (int b = 0; b < ReadRateFigures::BinCount; ++b) {
        const int x = margin + b * slot;
        const int h = int(qint64(bottom - top) * bins[b] / most);
        p.fillRect(QRect(x + slot / 6, bottom - h, slot * 2 / 3, h), QColor(52, 101, 164));
        p.setPen(Qt::black);
        p.drawText(QRect(x, bottom - h - line - 2, slot, line), Qt::AlignHCenter,
                   frenchNumber(bins[b]));
        p.drawText(QRect(x, bottom + 4, slot, line), Qt::AlignHCenter, ReadRateFigures::binName(b));
    }
    p.end();
    return image;
}

QByteArray ReadRateChart::png(const ReadRateFigures &figures, const QString &setting)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image(figures, setting).save(&buffer, "PNG");
    return bytes;
}
