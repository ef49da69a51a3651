#include "SystemCloseWatcher.h"
#include "frmVantrel.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
    app.setQuitOnLastWindowClosed(false); // the window's own end decides

    frmVantrel window;
    QObject::connect(&window, &frmVantrel::programEnded, &app, [] { QCoreApplication::exit(0); });
    SystemCloseWatcher system;
    QObject::connect(&system, &SystemCloseWatcher::closeRequested, &window, &QWidget::close);
    window.show();
    return app.exec();
}
