#include "SystemCloseWatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_pair[2] = {-1, -1};

// Every signal whose default action ends the program (with or without a
// core) and that the system or a user sends to ask for an end: each closes
// the window as the operator would, so the port is released and nothing is
// left behind.
constexpr int ClosingSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};

void onTermination(int)
{
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_pair[0], &c, 1);
}
} // namespace
#endif

SystemCloseWatcher::SystemCloseWatcher(QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pair) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SystemCloseWatcher::onSignal);

    struct sigaction sa{};
    sa.sa_handler = onTermination;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : ClosingSignals)
        ::sigaction(s, &sa, nullptr);
    // A write to a closed pipe or socket is an error to handle, not an end.
    ::signal(SIGPIPE, SIG_IGN);
#endif
}

SystemCloseWatcher::~SystemCloseWatcher()
{
#ifdef Q_OS_UNIX
    struct sigaction sa{};
    sa.sa_handler = SIG_DFL;
    for (int s : ClosingSignals)
        ::sigaction(s, &sa, nullptr);
    for (int &fd : g_pair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

void SystemCloseWatcher::onSignal()
{
#ifdef Q_OS_UNIX
    char buf[16];
    [[maybe_unused]] auto n = ::read(g_pair[1], buf, sizeof buf);
#endif
    emit closeRequested();
}
