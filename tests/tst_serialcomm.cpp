#include "PtyDevice.h"
#include "SerialComm.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QThread>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <poll.h>
#include <csignal>
#include <sys/wait.h>

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
    void openAndClose_data();
    void openAndClose();
    void outputBytes_data();
    void outputBytes();
    void inputBurst_data();
    void inputBurst();
    void notFound();
    void busy_data();
    void busy();
    void deviceGone();
    void writeOnVanishedDevice_data();
    void writeOnVanishedDevice();
    void closedPort();
    void sharedDevice();
    void heldAcrossClose();
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
    const QString path = pty->path();
    pty->unplug();
    // The hang-up is complete when the pseudo-terminal's node goes; wait for
    // it without processing events, so that the control learns nothing yet.
    QElapsedTimer t;
    t.start();
    while (QFileInfo::exists(path) && t.elapsed() < 2000)
        QThread::msleep(1);
    QVERIFY(!QFileInfo::exists(path));
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
    // Another program reads the device a byte at a time, as soon as it can.
    const QByteArray path = pty.path().toLocal8Bit();
    const pid_t reader = ::fork();
    if (reader == 0) {
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
        for (char c; fd >= 0;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
                break; // idle for 5 s, or the device is gone
            if (::read(fd, &c, 1) < 0 && errno != EAGAIN)
                break;
        }
        ::_exit(0);
    }
    QVERIFY(reader > 0);
    const auto endReader = qScopeGuard([reader] {
        ::kill(reader, SIGKILL);
        ::waitpid(reader, nullptr, 0);
    });
    QTRY_VERIFY(!otherHoldersOf(pty.path()).isEmpty());

    SerialComm comm;
    QSignalSpy errors(&comm, &CommControl::errorOccurred);
    QVERIFY(openOn(comm, 1, pty.path()));
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
    QVERIFY(comm.otherHolders().isEmpty());
    pty.write("GHIJKL");
    QTRY_COMPARE(comm.InBufferCount(), 6);
    QCOMPARE(comm.Input(), QStringLiteral("GHIJKL"));
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

QTEST_GUILESS_MAIN(tst_SerialComm)
#include "tst_serialcomm.moc"
