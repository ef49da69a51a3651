#include "BenchLook.h"

#include "BenchPanes.h"
#include "ConsoleLine.h"
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
    parts.panes.setOpenText(kept.value(QStringLiteral("panes")));
    parts.panes.setHeightText(kept.value(QStringLiteral("toolsHeight")));
    parts.console.setHistory(history(kept));
}

void BenchLook::save(const Parts &parts, const QString &settingsFile)
{
    const QRect g = parts.window.geometry();
    SettingsStore(settingsFile)
        .writeValues(Group, {{QStringLiteral("geometry"),
                              QStringLiteral("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())},
                             {QStringLiteral("ending"), parts.endings.key()},
                             {QStringLiteral("silenceMs"), QString::number(parts.endings.silenceMs())},
                             {QStringLiteral("test"), parts.readRate.settingsText()},
                             {QStringLiteral("panes"), parts.panes.openText()},
                             {QStringLiteral("toolsHeight"), parts.panes.heightText()}});
}

QStringList BenchLook::history(const QHash<QString, QString> &kept)
{
    QStringList commands;
    for (int i = 1; i <= ConsoleLine::MaxHistory; ++i) {
        const auto it = kept.find(QStringLiteral("history%1").arg(i));
        if (it != kept.end())
            commands << it.value();
    }
    if (!commands.isEmpty())
        return commands;
    // Kept by an earlier version: one key, the commands a line each.
    const QString old = kept.value(QStringLiteral("history"));
    return old.isEmpty() ? QStringList() : old.split(u'\n');
}

void BenchLook::historyLater(const QStringList &history, const QString &settingsFile)
{
    // A key per command, so that any command comes back as it was, line
    // breaks and all; the keys past the last are removed.
    QList<std::pair<QString, QString>> values{{QStringLiteral("history"), QString()}};
    for (int i = 1; i <= ConsoleLine::MaxHistory; ++i)
        values.append({QStringLiteral("history%1").arg(i), history.value(i - 1)});
    SettingsStore(settingsFile).writeValuesLater(Group, values);
}
