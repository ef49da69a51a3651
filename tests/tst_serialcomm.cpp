#include "PortAssignments.h"
#include "HungMount.h"
#include "PortLockFile.h"
#include "PtyDevice.h"
#include "SerialComm.h"
#include "StatusPieces.h"
#include "StatusText.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QSysInfo>
#include <QProcess>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QThread>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <ctime>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>
#include <poll.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

namespace {

QByteArray allBytes()
{
    QByteArray b(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        b[i] = char(i);
    return b;
}

QByteArray pattern(qsizetype size)
{
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = 12345;
    for (qsizetype i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(x >> 24);
    }
    return b;
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Another program that reads the device a byte at a time, as soon as it
// can, without a lock, until it is killed or the device goes (or, polling
// first, once idle for 5 s). A reader that waits inside read() holds the
// line's read lock, and the control's own reads find nothing meanwhile.
double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

enum class Reader { Polling, InRead };
pid_t startReader(const QString &device, Reader how = Reader::Polling)
{
    const QByteArray path = device.toLocal8Bit();
    const pid_t reader = ::fork();
    if (reader == 0) {
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
        for (char c; fd >= 0;) {
            pollfd p{fd, POLLIN, 0};
            if (how == Reader::Polling && (::poll(&p, 1, 5000) <= 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL))))
                break;
            if (::read(fd, &c, 1) < 0 && errno != EAGAIN && errno != EINTR)
                break;
        }
        ::_exit(0);
    }
    return reader;
}

// Pulls the device. The hang-up is complete when the pseudo-terminal's node
// goes; waits for it without processing events, so that the control learns
// nothing yet. False when the node stays.
bool unplugWithoutEvents(PtyDevice &pty)
{
    const QString path = pty.path();
    pty.unplug();
    QElapsedTimer t;
    t.start();
    while (QFileInfo::exists(path) && t.elapsed() < 2000)
        QThread::msleep(1);
    return !QFileInfo::exists(path);
}

// Opens COM n on the given device through the control.
bool openOn(SerialComm &comm, int n, const QString &device)
{
    qputenv(qPrintable(QStringLiteral("VANTREL_COM%1").arg(n)), device.toLocal8Bit());
    comm.setCommPort(qint16(n));
    comm.setPortOpen(true);
    return comm.PortOpen();
}

} // namespace

class tst_SerialComm : public QObject
{
    Q_OBJECT
private slots:
    void closedWhenCreated();
    void readStamps();
    void openAndClose_data();
    void openAndClose();
    void outputBytes_data();
    void outputBytes();
    void inputBurst_data();
    void inputBurst();
    void notFound();
    void busy_data();
    void busy();
    void busyHoldersNamedLater();
    void deviceGone();
    void writeOnVanishedDevice_data();
    void writeOnVanishedDevice();
    void closedPort();
    void sharedDevice();
    void sharerLeaves_data();
    void sharerLeaves();
    void busySharerIsNoUnplug();
    void descriptorHoldsDevice_data();
    void descriptorHoldsDevice();
    void holdersBesideAHungMount();
    void hangUpWithoutEvents();
    void heldAcrossClose();
    void awkwardPaths_data();
    void awkwardPaths();
    void refusalReasons_data();
    void refusalReasons();
    void lineSettingsReachTheLine_data();
    void lineSettingsReachTheLine();
    void lockFileLeftBehind_data();
    void lockFileLeftBehind();
};

void tst_SerialComm::closedWhenCreated()
{
    SerialComm comm;
    QVERIFY(!comm.PortOpen());
    QCOMPARE(comm.InBufferCount(), 0);
    QCOMPARE(comm.lastError(), CommError::None);
}

void tst_SerialComm::openAndClose_data()
{
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("link to it") << true;
}

void tst_SerialComm::openAndClose()
{
    QFETCH(bool, throughLink);
    PtyDevice pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    QString device = pty.path();
    if (throughLink) {
        device = dir.filePath(QStringLiteral("scanner"));
        QVERIFY(QFile::link(pty.path(), device));
    }

    SerialComm comm;
    QSignalSpy changes(&comm, &CommControl::portOpenChanged);
    QVERIFY(openOn(comm, 3, device));
    QCOMPARE(comm.devicePath(), device);
    QCOMPARE(comm.CommPort(), qint16(3));
    QCOMPARE(comm.lastError(), CommError::None);

    comm.setPortOpen(false);
    QVERIFY(!comm.PortOpen());
    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.at(0).at(0).toBool(), true);
    QCOMPARE(changes.at(1).at(0).toBool(), false);

    // And again: a closed port opens anew.
    QVERIFY(openOn(comm, 3, device));
}

void tst_SerialComm::outputBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("read start") << QByteArray("\x1bS7\r");
    QTest::newRow("fixed command") << QByteArray("48200000000050\r\n");
    QTest::newRow("all 256 byte values") << allBytes();
    QTest::newRow("4 KB") << pattern(4096);
}

void tst_SerialComm::outputBytes()
{
    QFETCH(QByteArray, bytes);
    PtyDevice pty;
    SerialComm comm;
    QVERIFY(openOn(comm, 1, pty.path()));

    comm.setOutput(QString::fromLatin1(bytes));
    QCOMPARE(comm.lastError(), CommError::None);
    // QSerialPort may keep part of a large write queued: let it drain.
    QTRY_VERIFY_WITH_TIMEOUT(pty.received().size() >= bytes.size(), 5000);
    QCOMPARE(pty.received(), bytes);
}

// Each read is stamped when it arrives, not when it is taken; what is sent is
// stamped when it has been put on the line.
void tst_SerialComm::readStamps()
{
    PtyDevice pty;
    SerialComm comm;
    QVERIFY(openOn(comm, 1, pty.path()));
    QList<TakenBytes> takes;
    connect(&comm, &CommControl::taken, &comm, [&](const TakenBytes &t) { takes << t; });
    QList<std::pair<QByteArray, qint64>> sends;
    connect(&comm, &CommControl::sent, &comm, [&](const QByteArray &b, qint64 ms) { sends.append({b, ms}); });

    pty.write("AB");
    QTRY_COMPARE(comm.InBufferCount(), 2);
    const qint64 between = TakenBytes::nowMs();
    QCOMPARE_LE(comm.lastReadMs(), between);
    QTest::qWait(30);
    pty.write("CDE");
    QTRY_COMPARE(comm.InBufferCount(), 5);
    QTest::qWait(30);
    const qint64 before = TakenBytes::nowMs();
    QCOMPARE(comm.Input(), QStringLiteral("ABCDE"));

    QCOMPARE(takes.size(), 1);
    const TakenBytes &t = takes.first();
    QCOMPARE(t.bytes, QByteArray("ABCDE"));
    QCOMPARE(t.reads.size(), 2);
    QCOMPARE(t.reads[0].end, 2);
    QCOMPARE(t.reads[1].end, 5);
    QCOMPARE_LE(t.reads[0].ms, between);
    QCOMPARE_GE(t.reads[1].ms, between + 30);
    QCOMPARE_LT(t.reads[1].ms, before);
    QCOMPARE(comm.lastReadMs(), t.reads[1].ms);

    // Nothing taken, nothing told.
    QCOMPARE(comm.Input(), QString());
    QCOMPARE(takes.size(), 1);

    const qint64 sentFrom = TakenBytes::nowMs();
    comm.setOutput(QStringLiteral("\x1bS7\r"));
    QCOMPARE(sends.size(), 1);
    QCOMPARE(sends[0].first, QByteArray("\x1bS7\r"));
    QCOMPARE_GE(sends[0].second, sentFrom);
    QVERIFY(pty.waitForReceived(4, 2000));
}

void tst_SerialComm::inputBurst_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("all 256 byte values") << allBytes();
    QTest::newRow("100 KB at once") << pattern(100 * 1024);
}

void tst_SerialComm::inputBurst()
{
    QFETCH(QByteArray, bytes);
    PtyDevice pty;
    SerialComm comm;
    QVERIFY(openOn(comm, 1, pty.path()));

    pty.write(bytes);
    QTRY_COMPARE_WITH_TIMEOUT(comm.InBufferCount(), int(bytes.size()), 10000);
    const QString text = comm.Input();
    QCOMPARE(text.size(), bytes.size());
    QCOMPARE(text.toLatin1(), bytes);
    QCOMPARE(comm.InBufferCount(), 0);
    QCOMPARE(comm.Input(), QString());
}

void tst_SerialComm::notFound()
{
    QTemporaryDir dir;
    SerialComm comm;
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QVERIFY(!openOn(comm, 4, dir.filePath(QStringLiteral("absent"))));
    QCOMPARE(comm.lastError(), CommError::NotFound);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(comm.devicePath(), dir.filePath(QStringLiteral("absent")));
}

void tst_SerialComm::busy_data()
{
    QTest::addColumn<bool>("heldByFlock");
    QTest::newRow("another control holds it") << false;
    QTest::newRow("another program holds flock") << true;
}

void tst_SerialComm::busy()
{
    QFETCH(bool, heldByFlock);
    PtyDevice pty;
    SerialComm first;
    int holder = -1;
    if (heldByFlock) {
        holder = ::open(pty.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    } else {
        QVERIFY(openOn(first, 1, pty.path()));
    }

    SerialComm second;
    QSignalSpy errors(&second, &CommControl::errorOccurred);
    QVERIFY(!openOn(second, 1, pty.path()));
    QCOMPARE(second.lastError(), CommError::Busy);
    QCOMPARE(errors.count(), 1);

    // Once the holder lets go, the port opens.
    if (holder >= 0)
        ::close(holder);
    first.setPortOpen(false);
    QVERIFY(openOn(second, 1, pty.path()));
}

// The search for who holds the port runs apart (here a holder with 20,000
// descriptors): "occupé" is said at once and the holder named when the
// search ends; later refusals of the same busy device name it at once,
// without a new search.
void tst_SerialComm::busyHoldersNamedLater()
{
    PtyDevice pty;
    const QByteArray path = pty.path().toLocal8Bit();
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        rlimit lim{};
        ::getrlimit(RLIMIT_NOFILE, &lim);
        lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, 20064);
        ::setrlimit(RLIMIT_NOFILE, &lim);
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            ::_exit(1);
        for (int n = 0; n < 20000 && ::dup(fd) >= 0; ++n) {
        }
        [[maybe_unused]] auto w = ::write(ready[1], "r", 1);
        for (;;)
            ::pause();
    }
    QVERIFY(holder > 0);
    const auto endHolder = qScopeGuard([holder] {
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
    });
    char c = 0;
    QCOMPARE(::read(ready[0], &c, 1), ssize_t(1));
    ::close(ready[0]);
    ::close(ready[1]);
    const QString named = QStringLiteral("tst_serialcomm (pid ") + QString::number(holder) + u')';
    QCOMPARE(otherHoldersOf(pty.path()).size(), 1);

    SerialComm comm;
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QVERIFY(!openOn(comm, 1, pty.path()));
    QCOMPARE(comm.lastError(), CommError::Busy);
    QCOMPARE(comm.errorDetail(), QString()); // not known yet
    QTRY_COMPARE_WITH_TIMEOUT(comm.errorDetail(), named, 10000);
    QCOMPARE(errors.count(), 2);
    QCOMPARE(errors.at(1).at(0).value<CommError>(), CommError::Busy);

    // The next tick's open: the same device, still busy.
    comm.setPortOpen(true);
    QCOMPARE(comm.lastError(), CommError::Busy);
    QCOMPARE(comm.errorDetail(), named);
}

void tst_SerialComm::deviceGone()
{
    auto pty = std::make_unique<PtyDevice>();
    SerialComm comm;
    QVERIFY(openOn(comm, 1, pty->path()));
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QSignalSpy changes(&comm, &CommControl::portOpenChanged);

    pty->write("ABC");
    QTRY_COMPARE(comm.InBufferCount(), 3);
    pty->unplug();
    QTRY_VERIFY(!comm.PortOpen());

    const double before = cpuSeconds();
    QTest::qWait(1000);
    const double used = cpuSeconds() - before;

    QCOMPARE(errors.count(), 1);
    QCOMPARE(comm.lastError(), CommError::DeviceGone);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(comm.Input(), QStringLiteral("ABC"));
    // A port left open after the unplug spins at 100% of a core.
    QVERIFY2(used < 0.5, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(used)));
}

// The device goes away just before or while the control writes to it, with
// no event processed in between: the port closes, the loss is reported once,
// what came before it is still there, and the process lives on.
void tst_SerialComm::writeOnVanishedDevice_data()
{
    QTest::addColumn<int>("pendingBytes"); // queued before the unplug
    QTest::addColumn<bool>("writeAfter");  // a command written after the unplug
    QTest::addColumn<bool>("closeAfter");  // "Eteindre" after the unplug

    QTest::newRow("a command after the hang-up") << 0 << true << false;
    QTest::newRow("a command after the hang-up, output pending") << 256 * 1024 << true << false;
    QTest::newRow("Eteindre with output pending") << 256 * 1024 << false << true;
    QTest::newRow("a command, then Eteindre, output pending") << 256 * 1024 << true << true;
}

void tst_SerialComm::writeOnVanishedDevice()
{
    QFETCH(int, pendingBytes);
    QFETCH(bool, writeAfter);
    QFETCH(bool, closeAfter);

    auto pty = std::make_unique<PtyDevice>();
    SerialComm comm;
    QVERIFY(openOn(comm, 1, pty->path()));
    pty->write("ABC");
    QTRY_COMPARE(comm.InBufferCount(), 3);
    QSignalSpy errors(&comm, &CommControl::errorOccurred);

    if (pendingBytes > 0)
        comm.setOutput(QString(pendingBytes, u'x'));
    QVERIFY(unplugWithoutEvents(*pty));
    if (writeAfter)
        comm.setOutput(QStringLiteral("\x1bS7\r"));
    if (closeAfter)
        comm.setPortOpen(false);
    QTRY_VERIFY(!comm.PortOpen());
    QTest::qWait(200); // any late error would come now

    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).value<CommError>(), CommError::DeviceGone);
    QCOMPARE(comm.Input(), QStringLiteral("ABC"));

    // The control is sound afterwards: a new device opens and reads.
    pty = std::make_unique<PtyDevice>();
    QVERIFY(openOn(comm, 1, pty->path()));
    pty->write("DEF");
    QTRY_COMPARE(comm.InBufferCount(), 3);
    QCOMPARE(comm.Input(), QStringLiteral("DEF"));
}

// A program that opened the device first, without a lock, shares it: it is
// named, and the bytes it takes are no sign that the device went away.
void tst_SerialComm::sharedDevice()
{
    PtyDevice pty;
    const pid_t reader = startReader(pty.path());
    QVERIFY(reader > 0);
    const auto endReader = qScopeGuard([reader] {
        ::kill(reader, SIGKILL);
        ::waitpid(reader, nullptr, 0);
    });
    QTRY_VERIFY(!otherHoldersOf(pty.path()).isEmpty());

    SerialComm comm;
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QSignalSpy named(&comm, &CommControl::otherHoldersFound);
    QVERIFY(openOn(comm, 1, pty.path()));
    QVERIFY(named.wait(10000));
    const QList<PortHolder> holders = comm.otherHolders();
    QCOMPARE(holders.size(), 1);
    QCOMPARE(holders.first().pid, qint64(reader));
    QCOMPARE(holders.first().name, QStringLiteral("tst_serialcomm"));

    qsizetype received = 0;
    for (int i = 0; i < 40; ++i) {
        pty.write("ABCDEF\r");
        QTest::qWait(20);
        received += comm.Input().size();
    }
    QVERIFY(comm.PortOpen());
    QCOMPARE(errors.count(), 0);
    QVERIFY2(received <= 40 * 7, qPrintable(QString::number(received))); // the rest went to the other

    // Once the other program has gone, the device is ours alone.
    ::kill(reader, SIGKILL);
    ::waitpid(reader, nullptr, 0);
    QTRY_VERIFY(otherHoldersOf(pty.path()).isEmpty());
    comm.setPortOpen(false);
    QVERIFY(openOn(comm, 1, pty.path()));
    QTest::qWait(200); // a search that found someone would say so now
    QVERIFY(comm.otherHolders().isEmpty());
    QCOMPARE(named.count(), 1);
    pty.write("GHIJKL");
    QTRY_COMPARE(comm.InBufferCount(), 6);
    QCOMPARE(comm.Input(), QStringLiteral("GHIJKL"));
}

// Another program (ModemManager probing, a second terminal) reads the device
// for a while on the control's own open, taking bytes from under it, then
// leaves. What the device sends afterwards reaches the control, round after
// round, with no new open.
void tst_SerialComm::sharerLeaves_data()
{
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("piecesShared"); // sent while the other program reads

    QTest::newRow("one short share") << 1 << 20;
    QTest::newRow("five shares in a row") << 5 << 40;
}

void tst_SerialComm::sharerLeaves()
{
    QFETCH(int, rounds);
    QFETCH(int, piecesShared);

    PtyDevice pty;
    SerialComm comm;
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QVERIFY(openOn(comm, 1, pty.path()));

    for (int round = 1; round <= rounds; ++round) {
        const pid_t sharer = startReader(pty.path(), Reader::InRead);
        QVERIFY(sharer > 0);
        auto endSharer = qScopeGuard([sharer] {
            ::kill(sharer, SIGKILL);
            ::waitpid(sharer, nullptr, 0);
        });
        QTRY_VERIFY(!otherHoldersOf(pty.path()).isEmpty());
        for (int i = 0; i < piecesShared; ++i) {
            pty.write("SHARED\r");
            QTest::qWait(5);
        }
        QTest::qWait(50);
        endSharer.dismiss();
        ::kill(sharer, SIGKILL);
        ::waitpid(sharer, nullptr, 0);
        QVERIFY(comm.PortOpen()); // sharing is no unplug
        comm.Input(); // whatever part of it came here

        const QByteArray after = "AFTER " + QByteArray::number(round) + "\r";
        pty.write(after);
        QTRY_COMPARE_WITH_TIMEOUT(comm.InBufferCount(), int(after.size()), 2000);
        QCOMPARE(comm.Input(), QString::fromLatin1(after));
    }
    QCOMPARE(errors.count(), 0);
}

// A program reads the device at full speed beside the control while the
// device sends without pause: however many of the control's reads it
// empties, the port stays open and nothing is reported; two of the fixed
// command's two-second waits on the line end with the port still open, and
// neither those waits nor the reading between them spins.
void tst_SerialComm::busySharerIsNoUnplug()
{
    PtyDevice pty;
    SerialComm comm;
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QVERIFY(openOn(comm, 1, pty.path()));
    const pid_t sharer = startReader(pty.path(), Reader::InRead);
    QVERIFY(sharer > 0);
    const auto endSharer = qScopeGuard([sharer] {
        ::kill(sharer, SIGKILL);
        ::waitpid(sharer, nullptr, 0);
    });
    QTRY_VERIFY(!otherHoldersOf(pty.path()).isEmpty());

    std::atomic<bool> flooding{true};
    std::thread flood([&pty, &flooding] {
        while (flooding) {
            pty.write("0123456789ABCDEF\r");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const auto endFlood = qScopeGuard([&] {
        flooding = false;
        flood.join();
    });

    const double cpuBefore = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    for (int round = 0; round < 2; ++round) {
        const QDeadlineTimer replyDue(2000);
        while (!replyDue.hasExpired() && comm.PortOpen())
            comm.waitForBytes(int(qMax<qint64>(replyDue.remainingTime(), 1)));
        QVERIFY2(comm.PortOpen(), qPrintable(QStringLiteral("closed in round %1").arg(round)));
        comm.Input();
        QTest::qWait(300); // a moment with events running, as between ticks
        QVERIFY(comm.PortOpen());
    }
    const double used = threadCpuSeconds() - cpuBefore;
    QCOMPARE(errors.count(), 0);
    // A wait that spins takes a whole core for as long as it lasts.
    QVERIFY2(used < 0.25 * double(wall.elapsed()) / 1000.0,
             qPrintable(QStringLiteral("%1 s of CPU in %2 ms").arg(used).arg(wall.elapsed())));
}

// Whether another process's descriptor holds the device is told from the
// text of its /proc link; only a target under /dev is looked at further.
void tst_SerialComm::descriptorHoldsDevice_data()
{
    QTest::addColumn<QString>("target"); // "PTY": the test's pty; "PTY (deleted)"
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("holds");

    QTest::newRow("the path itself") << "/dev/ttyUSB0" << QStringList{"/dev/ttyUSB0"} << true;
    QTest::newRow("the device a by-id link leads to")
        << "/dev/ttyACM0" << QStringList{"/dev/serial/by-id/usb-Acme_Scanner_1234-if00", "/dev/ttyACM0"} << true;
    QTest::newRow("another device") << "/dev/ttyUSB1" << QStringList{"/dev/ttyUSB0"} << false;
    QTest::newRow("a file on another mount") << "/mnt/share/notes.txt" << QStringList{"/dev/ttyUSB0"} << false;
    QTest::newRow("a socket") << "socket:[81234]" << QStringList{"/dev/ttyUSB0"} << false;
    QTest::newRow("nothing (unreadable link)") << "" << QStringList{"/dev/ttyUSB0"} << false;
    QTest::newRow("the same device under another name") << "PTY" << QStringList{"/dev/vantrel-alias"} << true;
    QTest::newRow("a pty closed since, same number") << "PTY (deleted)" << QStringList{"PTY"} << false;
}

void tst_SerialComm::descriptorHoldsDevice()
{
    QFETCH(QString, target);
    QFETCH(QStringList, names);
    QFETCH(bool, holds);
    PtyDevice pty;
    // The descriptor: on the pty where the row names it, else on /dev/null.
    const QByteArray opened = target.contains(QStringLiteral("PTY")) ? pty.path().toLocal8Bit() : "/dev/null";
    const int fd = ::open(opened.constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    QCOMPARE(::stat(pty.path().toLocal8Bit().constData(), &st), 0);
    target.replace(QStringLiteral("PTY"), pty.path());
    names.replaceInStrings(QStringLiteral("PTY"), pty.path());
    const QString link = QStringLiteral("/proc/self/fd/") + QString::number(fd);
    QCOMPARE(holdsDevice(target, names, link, quint64(st.st_rdev)), holds);
}

// Another program holds the port and a file on a mount that never answers
// (a hung network share): a stat() of that file waits for good. The search
// for the port's holders names the program all the same without asking
// that mount anything, and opening, switching ports and closing never wait.
void tst_SerialComm::holdersBesideAHungMount()
{
    auto mount = std::make_unique<HungMount>();
    if (!mount->isValid())
        QSKIP(qPrintable(QStringLiteral("FUSE not allowed here (%1)").arg(mount->why())));
    PtyDevice first, second;
    const pid_t holder = HungMount::holdOpen({mount->file(), first.path()});
    QVERIFY(holder > 0);
    const auto endHolder = qScopeGuard([holder] {
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
    });

    // The mount hangs as a hung share does: a stat() of the held file waits.
    std::atomic<bool> statEnded{false};
    std::thread probe([holder, &statEnded] {
        struct stat st {};
        const QByteArray fdDir = "/proc/" + QByteArray::number(holder) + "/fd/";
        for (int fd = 3; fd < 16; ++fd)
            ::stat((fdDir + QByteArray::number(fd)).constData(), &st);
        statEnded = true;
    });
    const auto endProbe = qScopeGuard([&] {
        mount.reset(); // aborts the mount: the probe's stat() fails
        probe.join();
    });
    QTRY_COMPARE_WITH_TIMEOUT(mount->attributeRequests(), 1, 10000);
    QTest::qWait(200);
    QVERIFY(!statEnded);

    SerialComm comm;
    QSignalSpy named(&comm, &CommControl::otherHoldersFound);
    QVERIFY(openOn(comm, 1, first.path()));
    QVERIFY(named.wait(10000));
    QCOMPARE(comm.otherHolders().size(), 1);
    QCOMPARE(comm.otherHolders().first().pid, qint64(holder));

    // Twenty switches between two ports, each searched anew.
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer call;
        call.start();
        comm.setPortOpen(false);
        QVERIFY(i % 2 == 0 ? openOn(comm, 2, second.path()) : openOn(comm, 1, first.path()));
        QVERIFY2(call.elapsed() < 2000, qPrintable(QStringLiteral("switch %1: %2 ms").arg(i).arg(call.elapsed())));
    }
    QVERIFY(named.wait(10000) || named.count() > 1);
    QCOMPARE(mount->attributeRequests(), 1); // the probe's alone
}

// The device hangs up and the control is asked for its count before any
// event could tell it: the count itself finds the loss. Qt 6.7.1 and later
// report no error for a hung-up line at all.
void tst_SerialComm::hangUpWithoutEvents()
{
    auto pty = std::make_unique<PtyDevice>();
    SerialComm comm;
    QVERIFY(openOn(comm, 1, pty->path()));
    pty->write("ABC");
    QTRY_COMPARE(comm.InBufferCount(), 3);
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QVERIFY(unplugWithoutEvents(*pty));
    QVERIFY(comm.PortOpen()); // nothing has told it yet
    QCOMPARE(comm.InBufferCount(), 3);
    QVERIFY(!comm.PortOpen());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(comm.lastError(), CommError::DeviceGone);

    // Later events and asks add nothing: the loss is said once.
    QTest::qWait(200);
    QCOMPARE(comm.InBufferCount(), 3);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(comm.Input(), QStringLiteral("ABC"));
}

void tst_SerialComm::closedPort()
{
    SerialComm comm;
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QSignalSpy changes(&comm, &CommControl::portOpenChanged);
    QCOMPARE(comm.InBufferCount(), 0);
    QCOMPARE(comm.Input(), QString());
    comm.setPortOpen(false);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(errors.count(), 0);
    comm.setOutput(QStringLiteral("\x1bS8\r"));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(comm.lastError(), CommError::NotOpen);
}

void tst_SerialComm::heldAcrossClose()
{
    PtyDevice pty;
    SerialComm comm;
    QVERIFY(openOn(comm, 1, pty.path()));
    pty.write("123456");
    QTRY_COMPARE(comm.InBufferCount(), 6);
    comm.setPortOpen(false);
    QCOMPARE(comm.InBufferCount(), 6);
    QCOMPARE(comm.Input(), QStringLiteral("123456"));
}

void tst_SerialComm::awkwardPaths_data()
{
    QTest::addColumn<QByteArray>("linkName"); // under the test's folder
    QTest::addColumn<QString>("shown");       // how the status line writes it

    QTest::newRow("percent signs") << QByteArray("banc %1%2 %L1") << "banc %1%2 %L1";
    // udev never names a device so: refused, shown byte for byte.
    QTest::newRow("not UTF-8") << QByteArray("caf\xe9") << "caf\\xE9";
    QTest::newRow("not UTF-8, then hex digits") << QByteArray("\xe9" "abc") << "\\xE9abc";
    QTest::newRow("newline and escape") << QByteArray("a\nb\x1b") << QString::fromUtf8("a␊b␛");
    // Past 255 characters, a lock file named after the path could not exist.
    const QByteArray part(60, 'd');
    QTest::newRow("300 characters") << part + '/' + part + '/' + part + '/' + part + '/' + part
                                    << QString::fromLatin1(part + '/' + part + '/' + part + '/' + part + '/' + part);
}

// A link with any UTF-8 name opens the device it points at, every byte goes
// round, and the status line shows the name as it is. A name that is not
// UTF-8 is refused with its reason.
void tst_SerialComm::awkwardPaths()
{
    QFETCH(QByteArray, linkName);
    QFETCH(QString, shown);

    PtyDevice pty;
    QTemporaryDir dir;
    const QByteArray link = QFile::encodeName(dir.path()) + '/' + linkName;
    const qsizetype slash = link.lastIndexOf('/');
    QVERIFY(QDir().mkpath(QString::fromLatin1(link.left(slash))));
    QVERIFY(::symlink(pty.path().toLocal8Bit().constData(), link.constData()) == 0);
    auto removeLink = qScopeGuard([&] { ::unlink(link.constData()); }); // QDir cannot name it

    qputenv("VANTREL_COM2", link);
    auto unset = qScopeGuard([] { qunsetenv("VANTREL_COM2"); });
    SerialComm comm;
    comm.setCommPort(2);
    comm.setPortOpen(true);
    const QString refusal = StatusPieces::fullText(errorText(comm.lastError(), 2, comm.devicePath(), comm.errorDetail()));
    if (QString::fromUtf8(link).toUtf8() != link) {
        QVERIFY(!comm.PortOpen());
        QCOMPARE(refusal, QStringLiteral("COM2 : « ") + dir.path() + QLatin1Char('/') + shown
                              + QStringLiteral(" », donné par VANTREL_COM2, n'est pas en UTF-8 : aucun périphérique ne porte "
                                               "un tel nom. Corrigez VANTREL_COM2 ou videz-la."));
        return;
    }
    QVERIFY2(comm.PortOpen(), qPrintable(refusal));
    QCOMPARE(QFile::encodeName(comm.devicePath()), link);

    pty.write(allBytes());
    QTRY_COMPARE(comm.InBufferCount(), 256);
    QCOMPARE(comm.Input().toLatin1(), allBytes());
    comm.setOutput(QStringLiteral("\x1bS8\r"));
    QVERIFY(pty.waitForReceived(4, 2000));
    QCOMPARE(pty.received(), QByteArray("\x1bS8\r"));

    const QString state = StatusPieces::fullText(portStateText(true, 2, comm.devicePath()));
    QVERIFY2(state.endsWith(shown + QLatin1Char(')')), qPrintable(state));
    QVERIFY(!state.contains(QLatin1Char('\n')));
    comm.setPortOpen(false);
}

void tst_SerialComm::refusalReasons_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<CommError>("error");
    QTest::addColumn<QString>("detail");

    QTest::newRow("a folder") << "folder" << CommError::NotSerial << "";
    QTest::newRow("a plain file") << "file" << CommError::NotSerial << "";
    QTest::newRow("/dev/null, no terminal") << "/dev/null" << CommError::NotSerial << "";
    QTest::newRow("a link to nothing") << "dangling" << CommError::NotFound << "";
    QTest::newRow("under a plain file") << "file/tty" << CommError::NotFound << "";
    QTest::newRow("a loop of links") << "loop" << CommError::Other << "trop de liens symboliques";
}

// Each refusal has its own reason, in French, and the message ends with
// what to do.
void tst_SerialComm::refusalReasons()
{
    QFETCH(QString, what);
    QFETCH(CommError, error);
    QFETCH(QString, detail);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QFile file(dir.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("absent")), dir.filePath(QStringLiteral("dangling"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("loop")), dir.filePath(QStringLiteral("loop"))));

    SerialComm comm;
    QVERIFY(!openOn(comm, 1, what.startsWith(QLatin1Char('/')) ? what : dir.filePath(what)));
    QCOMPARE(comm.lastError(), error);
    QCOMPARE(comm.errorDetail(), detail);
    const QString text = StatusPieces::fullText(errorText(comm.lastError(), 1, comm.devicePath(), comm.errorDetail()));
    QVERIFY2(text.endsWith(QStringLiteral("réessayez.")) || text.endsWith(QStringLiteral("de COM1."))
                 || text.endsWith(QStringLiteral("branchez l'appareil.")),
             qPrintable(text));
}

// The line settings chosen for COM n are the ones the device's side sees.
// A pseudo-terminal keeps the speed, the stop bits and the flow control, but
// always carries 8 data bits without parity: those two are not seen here.
void tst_SerialComm::lineSettingsReachTheLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("speed");      // termios speed code
    QTest::addColumn<bool>("twoStops");
    QTest::addColumn<bool>("rtsCts");
    QTest::addColumn<bool>("xonXoff");

    QTest::newRow("the default") << "9600 8N1" << int(B9600) << false << false << false;
    QTest::newRow("115200 8N1") << "115200 8N1" << int(B115200) << false << false << false;
    QTest::newRow("38400 7E2") << "38400 7E2" << int(B38400) << true << false << false;
    QTest::newRow("1200 5O1 RTS/CTS") << "1200 5O1 RTS/CTS" << int(B1200) << false << true << false;
    QTest::newRow("57600 8N1 XON/XOFF") << "57600 8N1 XON/XOFF" << int(B57600) << false << false << true;
}

void tst_SerialComm::lineSettingsReachTheLine()
{
    QFETCH(QString, line);
    QFETCH(int, speed);
    QFETCH(bool, twoStops);
    QFETCH(bool, rtsCts);
    QFETCH(bool, xonXoff);

    PtyDevice pty;
    QTemporaryDir dir;
    QProcessEnvironment env;
    env.insert(QStringLiteral("VANTREL_COM1"), pty.path());
    PortAssignments ports(dir.filePath(QStringLiteral("Vantrel.conf")), env, [] { return QList<SerialDevice>{}; }, {});
    const std::optional<LineSettings> chosen = LineSettings::fromText(line);
    QVERIFY(chosen);
    QCOMPARE(chosen->text(), line);
    QVERIFY(ports.setLine(1, *chosen));
    SerialComm comm(&ports, nullptr);
    comm.setCommPort(1);
    comm.setPortOpen(true);
    QVERIFY(comm.PortOpen());
    QCOMPARE(comm.line().text(), line);

    termios t {};
    QVERIFY(pty.lineSettings(&t));
    QCOMPARE(int(cfgetospeed(&t)), speed);
    QCOMPARE((t.c_cflag & CSTOPB) != 0, twoStops);
    QCOMPARE((t.c_cflag & CRTSCTS) != 0, rtsCts);
    QCOMPARE((t.c_iflag & IXON) != 0, xonXoff);

    // What reaches the line still reaches the control, byte for byte.
    pty.write("ABC\r");
    QTRY_COMPARE(comm.InBufferCount(), 4);
    QCOMPARE(comm.Input(), QStringLiteral("ABC\r"));
}

void tst_SerialComm::lockFileLeftBehind_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<CommError>("error");

    // Qt removes a lock file of a process that has ended when it may.
    QTest::newRow("by an ended process") << "ended" << true << CommError::None;
    // One it may not remove (another user's file in the sticky lock
    // folder; a folder stands for it, since root may remove any file).
    QTest::newRow("that Qt may not remove") << "unremovable" << false << CommError::StaleLock;
    QTest::newRow("by a live process") << "live" << false << CommError::Busy;
    // Another user's FIFO at its name would block Qt's read of it for good.
    QTest::newRow("a FIFO planted at its name") << "fifo" << false << CommError::BadLockFile;
}

// A lock file left in the lock folder is "occupé" only while its process
// lives; otherwise it is named with its remedy, and the port opens once it
// is gone.
void tst_SerialComm::lockFileLeftBehind()
{
    QFETCH(QString, left);
    QFETCH(bool, opens);
    QFETCH(CommError, error);

    PtyDevice pty;
    const PortLockFile lock(pty.path());
    if (lock.path().isEmpty() || !QFileInfo(QFileInfo(lock.path()).path()).isWritable())
        QSKIP("no writable lock folder here");
    if (lock.exists())
        QSKIP("a lock file for this pseudo-terminal is already there; it is not this test's to remove");
    auto cleanup = qScopeGuard([&] {
        QDir(lock.path()).removeRecursively();
        QFile::remove(lock.path());
    });

    QProcess live;
    if (left == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(lock.path()).constData(), 0644), 0);
    } else if (left == QLatin1String("unremovable")) {
        QVERIFY(QDir().mkdir(lock.path()));
        const utimbuf old{std::time(nullptr) - 3600, std::time(nullptr) - 3600};
        QVERIFY(::utime(QFile::encodeName(lock.path()).constData(), &old) == 0);
    } else {
        qint64 pid = 0;
        QString host = QSysInfo::machineHostName();
        if (left == QLatin1String("ended")) {
            QProcess ended;
            ended.start(QStringLiteral("sleep"), {QStringLiteral("0.1")});
            QVERIFY(ended.waitForStarted());
            pid = ended.processId();
            QVERIFY(ended.waitForFinished(5000)); // reaped: the pid names no process now
        } else {
            live.start(QStringLiteral("sleep"), {QStringLiteral("30")});
            QVERIFY(live.waitForStarted());
            pid = live.processId();
            host = QStringLiteral("elsewhere"); // not judged by its process: a fresh lock holds
        }
        QFile f(lock.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::number(pid) + "\nvantrel\n" + host.toUtf8() + '\n');
        f.close();
    }

    SerialComm comm;
    QCOMPARE(openOn(comm, 1, pty.path()), opens);
    QCOMPARE(comm.lastError(), error);
    const QString text = StatusPieces::fullText(errorText(comm.lastError(), 1, comm.devicePath(), comm.errorDetail()));
    if (error == CommError::StaleLock) {
        QVERIFY2(!text.contains(QStringLiteral("occupé")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("(sudo rm ") + lock.path() + QLatin1Char(')')), qPrintable(text));
    }
    if (error == CommError::BadLockFile)
        QCOMPARE(text, QStringLiteral("COM1 : le fichier verrou ") + lock.path()
                           + QStringLiteral(" n'est pas un fichier ordinaire (un tube, un périphérique ou un lien, posé "
                                            "par un autre utilisateur ?) : ")
                           + pty.path() + QStringLiteral(" n'a pas été ouvert. Supprimez-le (sudo rm ") + lock.path()
                           + QStringLiteral("), puis réessayez."));
    if (error == CommError::Busy)
        QVERIFY2(text.contains(QStringLiteral("sleep (pid ") + QString::number(live.processId()) + QLatin1Char(')')),
                 qPrintable(text));
    if (live.state() != QProcess::NotRunning) {
        live.kill();
        live.waitForFinished();
    }
    if (opens) {
        comm.setPortOpen(false);
        QVERIFY(!lock.exists()); // Qt's own lock goes with the close
        return;
    }
    cleanup.dismiss();
    QDir(lock.path()).removeRecursively();
    QFile::remove(lock.path());
    QVERIFY(openOn(comm, 1, pty.path())); // the file gone, the port opens
    comm.setPortOpen(false);
}

QTEST_GUILESS_MAIN(tst_SerialComm)
#include "tst_serialcomm.moc"
