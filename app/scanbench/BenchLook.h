#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class BenchPanes;
class ConsolePanel;
class EndingChooser;
class QWidget;
class ReadRatePanel;

// What the scanner bench keeps for the next start, in the settings file
// beside the ports:
//
//   [Bench]
//   geometry=10 20 900 500
//   ending=silence
//   silenceMs=80
//   test=100 1000 200
//   panes=test console hexa
//   toolsHeight=160
//   history1=<ESC>A1<CR>
//   history2=<ESC>B0<CR>
//
// A size too small or beyond any screen is not restored. The console's
// history is written a moment after each command (historyLater), with
// whatever else changed meanwhile; the rest when the bench is hidden.
class BenchLook
{
public:
    struct Parts {
        QWidget &window;
        EndingChooser &endings;
        ReadRatePanel &readRate;
        ConsolePanel &console;
        BenchPanes &panes;
    };
    static void restore(const Parts &parts, const QString &settingsFile);
    static void save(const Parts &parts, const QString &settingsFile);
    static void historyLater(const QStringList &history, const QString &settingsFile);
    // The console's commands as kept, newest first.
    static QStringList history(const QHash<QString, QString> &kept);
};
