#include "CommandLine.h"
#include "MemoryPolicy.h"
#include "QtInFrench.h"
#include "SettingsQueue.h"
#include "SystemCloseWatcher.h"
#include "frmVantrel.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(line.usage().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(line.version().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fprintf(stderr, "vantrel : %s\n\n%s", line.error.toLocal8Bit().constData(),
                     line.usage().toLocal8Bit().constData());
        return 2;
    case CommandLine::Action::Run:
        break;
    }
    returnFreedMemoryToSystem();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
    app.setQuitOnLastWindowClosed(false); // the window's own end decides
    useFrenchForQt();

    frmVantrel window;
    QObject::connect(&window, &frmVantrel::programEnded, &app, [] { QCoreApplication::exit(0); });
    SystemCloseWatcher system;
    QObject::connect(&system, &SystemCloseWatcher::closeRequested, &window, &QWidget::close);
    window.show();
    const int status = app.exec();
    // What the settings still keep for later is written now, other instances
    // waited for a while (they hold the file for milliseconds).
    SettingsQueue::instance().flush(3000);
    return status;
}
