#include "WindowLook.h"

#include "SettingsStore.h"
#include "ReceptionBox.h"

#include <QWidget>

namespace {
const QString Group = QStringLiteral("Window");
const QString Geometry = QStringLiteral("geometry");
const QString TextSize = QStringLiteral("textSize");
} // namespace

void WindowLook::restore(QWidget &window, ReceptionBox &box, QSize drawn, const QString &settingsFile)
{
    const QHash<QString, QString> kept = SettingsStore(settingsFile).values(Group);
    const QStringList g = kept.value(Geometry).split(u' ');
    if (g.size() == 4) {
        const int w = g[2].toInt(), h = g[3].toInt();
        if (w >= drawn.width() && h >= drawn.height() && w < 20000 && h < 20000) {
            window.resize(w, h);
            window.move(g[0].toInt(), g[1].toInt());
        }
    }
    bool ok = false;
    const int size = kept.value(TextSize).toInt(&ok);
    if (ok)
        box.setTextSize(size);
}

void WindowLook::save(const QWidget &window, const ReceptionBox &box, QSize drawn, const QString &settingsFile)
{
    const QRect g = window.geometry();
    const int size = box.textSize();
    const QString geometry = g.size() == drawn
        ? QString()
        : QStringLiteral("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
    SettingsStore(settingsFile)
        .writeValues(Group, {{Geometry, geometry},
                             {TextSize, size == ReceptionBox::DefaultTextSize ? QString() : QString::number(size)}});
}
