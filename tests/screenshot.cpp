// vantrel-screenshot: the window as an operator sees it, saved as a PNG.
//
//   vantrel-screenshot OUT.png [--desktop-font POINTS] [--sim | --bench]
//
// --desktop-font gives the application the font size a desktop would
// (KDE 10, GNOME 11); --sim shows three seconds of the simulated scanner
// sending scans with control bytes; --bench shows the scanner bench after
// a read-rate test of 30 triggers against a test card's list, and two
// commands in its console. Runs on any Qt platform; the README's
// picture is taken under Xvfb.

#include "BenchWindow.h"
#include "SimProcess.h"
#include "frmVantrel.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2)
        return 2;
    const qsizetype fontAt = args.indexOf(QStringLiteral("--desktop-font"));
    if (fontAt > 0 && fontAt + 1 < args.size()) {
        QFont desktop = QApplication::font();
        desktop.setPointSize(args.at(fontAt + 1).toInt());
        QApplication::setFont(desktop);
    }
    SimProcess sim;
    if (args.contains(QStringLiteral("--bench"))) {
        if (!sim.start({QStringLiteral("--aim"), QStringLiteral("--wrong-check"), QStringLiteral("0.15"),
                        QStringLiteral("--no-read"), QStringLiteral("0.1"), QStringLiteral("--delay"),
                        QStringLiteral("25-90"), QStringLiteral("--codes"),
                        QStringLiteral("4006381333931,96385074,15400141288763,036000291452,CODE-39-A")}))
            return 1;
        qputenv("VANTREL_COM1", sim.path().toLocal8Bit());
        QTemporaryDir dir;
        QFile card(dir.filePath(QStringLiteral("carte.txt")));
        if (!card.open(QIODevice::WriteOnly))
            return 1;
        card.write("4006381333931\n96385074\n15400141288763\n036000291452\n5449000000996\n");
        card.close();
        frmVantrel w;
        w.show();
        w.openPort();
        w.showBench();
        w.bench()->resize(1000, 640);
        w.bench()->loadList(card.fileName());
        QTest::qWait(500);
        if (auto *console = w.bench()->findChild<QToolButton *>(QStringLiteral("showConsole")))
            console->setChecked(true);
        w.bench()->startReadRate(30, 300, 30);
        QTest::qWait(4500);
        w.bench()->sendCommand(QStringLiteral("<ESC>B0<CR>"));
        QTest::qWait(200);
        w.bench()->sendCommand(QStringLiteral("<ESC>X1<CR>"));
        QTest::qWait(300);
        const bool saved = w.bench()->grab().save(args.at(1));
        sim.stop();
        return saved ? 0 : 1;
    }
    if (args.contains(QStringLiteral("--sim"))) {
        if (!sim.start({QStringLiteral("--garbage"), QStringLiteral("--every"), QStringLiteral("0.4")}))
            return 1;
        qputenv("VANTREL_COM1", sim.path().toLocal8Bit());
    }
    frmVantrel w;
    w.show();
    QTest::qWait(args.contains(QStringLiteral("--sim")) ? 3200 : 300);
    const bool saved = w.grab().save(args.at(1));
    if (sim.process().state() != QProcess::NotRunning)
        sim.stop();
    return saved ? 0 : 1;
}
