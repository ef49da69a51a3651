// vantrel-screenshot: the window as an operator sees it, saved as a PNG.
//
//   vantrel-screenshot OUT.png [--desktop-font POINTS] [--sim]
//
// --desktop-font gives the application the font size a desktop would
// (KDE 10, GNOME 11); --sim shows three seconds of the simulated scanner
// sending scans with control bytes. Runs on any Qt platform; the README's
// picture is taken under Xvfb.

#include "SimProcess.h"
#include "frmVantrel.h"

#include <QApplication>
#include <QPixmap>
#include <QTest>

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
