#include "Measures.h"

#include "frmVantrel.h"

#include "PerfPty.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <atomic>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace perf {

namespace {

// Another program that reads the device as fast as it can, without a lock.
pid_t startSharer(const QByteArray &path)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (int fd = 3; fd < 1024; ++fd) // nothing of ours: not the port's lock
            ::close(fd);
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
        for (char buf[64]; fd >= 0;)
            if (::read(fd, buf, sizeof buf) < 0 && errno != EINTR && errno != EAGAIN)
                break;
        ::_exit(0);
    }
    return pid;
}

} // namespace

// 9. A program that shares the port, reading it at full speed while the
// device sends without pause: the window's thread's CPU with its timer
// running, and "Envoyer commande" clicked again and again meanwhile, each
// to end with its reply or its time out, never with the port taken for
// gone.
void benchSharer()
{
    const int seconds = g_quick ? 5 : 30;
    const int clicks = g_quick ? 4 : 16;
    PerfPty pty;
    auto w = windowOn(pty, true);
    const pid_t sharer = startSharer(pty.path().toLocal8Bit());
    std::atomic<bool> sending{true};
    std::thread device([&] {
        const QByteArray scan("4006381333931\r");
        while (sending) {
            pty.write(scan);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    QSignalSpy errors(w->MSComm1, &CommControl::errorOccurred);
    runFor(500);
    const double before = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpu = 100.0 * (threadCpuSeconds() - before) / (double(wall.elapsed()) / 1000.0);
    const bool openAll = w->MSComm1->PortOpen();

    int ended = 0; // with the reply or the time out, the port never taken for gone
    w->Timer1->stop();
    for (int i = 0; i < clicks; ++i) {
        w->Command2_Click(); // "Eteindre": the command opens a closed port
        errors.clear();
        w->Command4_Click();
        bool gone = false;
        for (const QList<QVariant> &e : errors)
            gone = gone || e.at(0).value<CommError>() == CommError::DeviceGone;
        const QString said = w->statusText();
        if (!gone && (said.contains(QStringLiteral("Commande envoyée")) || said.contains(QStringLiteral("aucune réponse"))))
            ++ended;
    }
    sending = false;
    device.join();
    ::kill(sharer, SIGKILL);
    ::waitpid(sharer, nullptr, 0);
    add(QStringLiteral("CPU, a program sharing the port at full speed (%1 s)").arg(seconds),
        QStringLiteral("%1 % of a core").arg(cpu, 0, 'f', 2), openAll ? QStringLiteral("port open throughout") : QStringLiteral("port closed"),
        0, QStringLiteral("< 5 %, port open"), cpu < 5 && openAll);
    add(QStringLiteral("\"Envoyer commande\" beside that program"), QStringLiteral("%1 of %2 answered or timed out").arg(ended).arg(clicks),
        QStringLiteral("-"), 0, QStringLiteral("every one"), ended == clicks);
}

} // namespace perf
