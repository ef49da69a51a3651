#include "SystemCloseWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_pair[2] = {-1, -1};

// Every signal whose default action ends the program (with or without a
// core) and that the system or a user sends to ask for an end: each closes
// the window as the operator would, so the port is released and nothing is
// left behind.
constexpr int ClosingSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};

// The socket's writing end never blocks: once a byte waits there, the
// window will close, and the bytes of a burst that find it full are not
// needed. A handler that blocked would hold the window's own thread.
void onTermination(int)
{
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_pair[0], &c, 1);
    errno = saved;
}
} // namespace

SystemCloseWatcher::SystemCloseWatcher(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pair) != 0)
        return;
    ::fcntl(g_pair[0], F_SETFL, ::fcntl(g_pair[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(g_pair[1], F_SETFL, ::fcntl(g_pair[1], F_GETFL) | O_NONBLOCK);
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
}

SystemCloseWatcher::~SystemCloseWatcher()
{
    // The window is closing already: what is left of a burst is ignored,
    // so that the program still ends with its own status.
    struct sigaction sa{};
    sa.sa_handler = SIG_IGN;
    for (int s : ClosingSignals)
        ::sigaction(s, &sa, nullptr);
    for (int &fd : g_pair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SystemCloseWatcher::onSignal()
{
    char buf[256];
    while (::read(g_pair[1], buf, sizeof buf) > 0) {
    }
    emit closeRequested();
}
