#include "WindowIcon.h"

#include <QPainter>
#include <QPixmap>

QIcon vantrelIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0); // drawn on the SVG's 64 x 64 grid
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2d, 0x4f, 0x7c));
        p.drawRoundedRect(QRectF(4, 10, 56, 44), 6, 6);
        p.setBrush(Qt::white);
        const double bars[][2] = {{12, 3}, {18, 1.5}, {22, 4}, {29, 2}, {34, 1.5}, {38, 4}, {45, 2}, {50, 3}};
        for (const auto &bar : bars)
            p.drawRect(QRectF(bar[0], 18, bar[1], 28));
        p.setBrush(QColor(0xe0, 0x40, 0x40));
        p.drawRect(QRectF(8, 31, 48, 2));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
