#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the system's requests to end the program (SIGTERM at log-off or
// shutdown, SIGHUP when the terminal goes, SIGINT from Ctrl-C, and SIGQUIT,
// SIGUSR1, SIGUSR2 and SIGALRM, which would end it as well) into a close of
// the window, so that the port is closed and the program ends as when the
// operator closes it. SIGPIPE is ignored. The signal handler only writes a byte to a socket pair;
// the rest runs in the event loop, also inside a handler's wait.
class SystemCloseWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SystemCloseWatcher(QObject *parent = nullptr);
    ~SystemCloseWatcher() override;

signals:
    void closeRequested();

private:
    void onSignal();
    QSocketNotifier *m_notifier = nullptr;
};
