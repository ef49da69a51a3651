#include "BenchLook.h"

#include "ConsolePanel.h"
#include "EndingChooser.h"
#include "ReadRatePanel.h"
#include "SettingsStore.h"

#include <QWidget>

namespace {
const QString Group = QStringLiteral("Bench");
} // namespace

void BenchLook::restore(const Parts &parts, const QString &settingsFile)
{
    const QHash<QString, QString> kept = SettingsStore(settingsFile).values(Group);
    const QStringList g = kept.value(QStringLiteral("geometry")).split(u' ');
    if (g.size() == 4) {
        const int w = g[2].toInt(), h = g[3].toInt();
        if (w >= 200 && h >= 150 && w < 20000 && h < 20000) {
            parts.window.resize(w, h);
            parts.window.move(g[0].toInt(), g[1].toInt());
        }
    }
    parts.endings.setKey(kept.value(QStringLiteral("ending")));
    bool ok = false;
    const int silence = kept.value(QStringLiteral("silenceMs")).toInt(&ok);
    if (ok)
        parts.endings.setSilenceMs(silence);
    parts.readRate.setSettingsText(kept.value(QStringLiteral("test")));
    const QString history = kept.value(QStringLiteral("history"));
    parts.console.setHistory(history.isEmpty() ? QStringList() : history.split(u'\n'));
}

void BenchLook::save(const Parts &parts, const QString &settingsFile)
{
    const QRect g = parts.window.geometry();
    SettingsStore(settingsFile)
        .writeValues(Group, {{QStringLiteral("geometry"),
                              QStringLiteral("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())},
                             {QStringLiteral("ending"), parts.endings.key()},
                             {QStringLiteral("silenceMs"), QString::number(parts.endings.silenceMs())},
                             {QStringLiteral("test"), parts.readRate.settingsText()}});
}

void BenchLook::historyLater(const QStringList &history, const QString &settingsFile)
{
    SettingsStore(settingsFile).writeValuesLater(Group, {{QStringLiteral("history"), history.join(u'\n')}});
}
