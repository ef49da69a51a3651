#include "BoxBytes.h"
#include "FakeWindow.h"
#include "HungMount.h"
#include "PtyDevice.h"
#include "ScannerCommands.h"
#include "SerialComm.h"
#include "StatusPieces.h"
#include "StatusText.h"

#include <QApplication>
#include <QProcess>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>

#include <cstdio>
#include <signal.h>
#include <thread>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray ReadStart(ScannerCommands::ReadStart);
const QByteArray Fixed(ScannerCommands::FixedCommand);

qint64 residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// A window on a real serial control, COM1 being the pseudo-terminal.
// COM1 is a link to the pseudo-terminal, which pull() removes with it: the
// number of a closed pseudo-terminal goes at once to the next one opened,
// maybe by a test running beside this one, and a reopen must not find it.
struct LineBench {
    PtyDevice pty;
    QTemporaryDir dir;
    QString device = dir.filePath(QStringLiteral("scanner"));
    std::unique_ptr<frmVantrel> w;
    explicit LineBench(bool timer = true)
    {
        QFile::link(pty.path(), device);
        qputenv("VANTREL_COM1", device.toLocal8Bit());
        w = std::make_unique<frmVantrel>();
        if (!timer)
            w->Timer1->stop();
    }
    void open() { w->openPort(); }
    void pull()
    {
        QFile::remove(device);
        pty.unplug();
    }
};

enum class Load { Burst, Paced, Scans, ControlFlood };
enum class Wait { Idle, Tick, SwitchOn, Read, FixedCommand };

// Starts the real program on `device` as COM1, offscreen.
bool startProgram(QProcess &tool, const QString &device)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANTREL_COM1"), device);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(VANTREL_PROGRAM));
    return tool.waitForStarted();
}

} // namespace

class tst_Faults : public QObject
{
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void unplug_data();
    void unplug();
    void heldByFlockProcess();
    void notFound();
    void permissionDenied_data();
    void permissionDenied();
    void badLengthTextsDuringTicks();
    void rapidClicksOnSwitchOn();
    void clicksDuringWaits_data();
    void clicksDuringWaits();
    void clicksDuringFixedCommandComeAfter();
    void systemCloseEndsWithStatus0_data();
    void systemCloseEndsWithStatus0();
    void closesBesideAHungMount();
};

void tst_Faults::load_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("1 MB burst at full speed") << int(Load::Burst);
    QTest::newRow("10 minutes of 9600 baud, 100x faster") << int(Load::Paced);
    QTest::newRow("1000 scans of mixed lengths") << int(Load::Scans);
    QTest::newRow("flood of control characters and NULs") << int(Load::ControlFlood);
}

// Every byte the device sent is in the box, in order, once.
void tst_Faults::load()
{
    QFETCH(int, kind);
    LineBench b;
    QTRY_VERIFY2(b.w->MSComm1->PortOpen(), qPrintable(b.w->statusText()));
    const qint64 rssBefore = residentKb();

    QRandomGenerator rng(kind + 1);
    QList<QByteArray> pieces; // written one every `gapMs`
    int gapMs = 0;
    switch (Load(kind)) {
    case Load::Burst: {
        QByteArray burst(1 << 20, Qt::Uninitialized);
        for (char &c : burst)
            c = char(rng.bounded(256));
        pieces << burst;
        break;
    }
    case Load::Paced: // 576,000 bytes: 960 bytes a second for 10 minutes
        for (int i = 0; i < 1200; ++i) {
            QByteArray chunk(480, Qt::Uninitialized);
            for (char &c : chunk)
                c = char(rng.bounded(256));
            pieces << chunk;
        }
        gapMs = 5;
        break;
    case Load::Scans:
        for (int i = 0; i < 1000; ++i) {
            QByteArray scan;
            const int length = 1 + int(rng.bounded(40));
            for (int k = 0; k < length; ++k)
                scan += char('0' + rng.bounded(43)); // digits, punctuation, capitals
            pieces << scan + '\r';
        }
        gapMs = 2;
        break;
    case Load::ControlFlood: {
        QByteArray flood(200 * 1024, Qt::Uninitialized);
        for (char &c : flood) {
            const int v = int(rng.bounded(33));
            c = char(v == 32 ? 0x7F : v);
        }
        pieces << flood;
        break;
    }
    }
    QByteArray sent;
    for (const QByteArray &p : pieces)
        sent += p;

    int next = 0;
    QTimer writer;
    connect(&writer, &QTimer::timeout, [&] {
        if (next < pieces.size())
            b.pty.write(pieces[next++]);
        else
            writer.stop();
    });
    writer.start(gapMs);

    QTRY_VERIFY_WITH_TIMEOUT(boxBytes(b.w->receptionText()).size() >= sent.size(), 60000);
    QTest::qWait(600); // nothing more, nothing doubled
    const QByteArray shown = boxBytes(b.w->receptionText());
    QCOMPARE(shown.size(), sent.size());
    QVERIFY(shown == sent);
    QCOMPARE(b.w->MSComm1->InBufferCount(), 0);
    QVERIFY(b.w->statusText().startsWith(QStringLiteral("COM1 ouvert")));

    // Memory follows what the box holds; nothing else keeps the bytes.
    const qint64 grownKb = residentKb() - rssBefore;
    qInfo("%lld bytes shown, resident memory grew by %lld KB", qint64(sent.size()), grownKb);
#ifndef VANTREL_SANITIZED // AddressSanitizer's quarantine holds freed memory on purpose
    QVERIFY2(grownKb < 64 * 1024, qPrintable(QString::number(grownKb)));
#endif
}

void tst_Faults::unplug_data()
{
    QTest::addColumn<int>("wait");
    QTest::addColumn<QString>("expected");
    QTest::newRow("idle") << int(Wait::Idle) << "ABC\r\n";
    QTest::newRow("during a tick's wait") << int(Wait::Tick) << "ABC\r\n";
    QTest::newRow("during Allumer") << int(Wait::SwitchOn) << "ABC\r\n";
    QTest::newRow("during Lire") << int(Wait::Read) << "ABC\r\n";
    QTest::newRow("during the fixed command's wait") << int(Wait::FixedCommand) << "";
}

// The device goes away with 3 bytes sent, fewer than any wait wants: no
// crash, no hang beyond the stated waits, a message, and the 3 bytes shown
// (the fixed command's reply is never shown).
void tst_Faults::unplug()
{
    QFETCH(int, wait);
    QFETCH(QString, expected);
    const bool nestedTicks = Wait(wait) == Wait::SwitchOn || Wait(wait) == Wait::Read;
    LineBench b(nestedTicks);
    QSignalSpy ended(b.w.get(), &frmVantrel::programEnded);
    QSignalSpy errors(b.w->MSComm1, &CommControl::errorOccurred);
    auto pull = [&] { b.pull(); };

    QElapsedTimer t;
    t.start();
    switch (Wait(wait)) {
    case Wait::Idle:
        b.open();
        b.pty.write("ABC");
        QTRY_COMPARE(b.w->MSComm1->InBufferCount(), 3);
        pull();
        QTRY_VERIFY(!b.w->MSComm1->PortOpen());
        b.w->Timer1_Timer(); // the next tick finds no device, shows what came
        break;
    case Wait::Tick:
        b.open();
        QTimer::singleShot(50, b.w.get(), [&] { b.pty.write("ABC"); });
        QTimer::singleShot(200, b.w.get(), pull);
        b.w->Timer1_Timer();
        QVERIFY(t.elapsed() < 2000);
        break;
    case Wait::SwitchOn:
    case Wait::Read: {
        if (Wait(wait) == Wait::Read)
            b.pty.respond(ReadStart, "ABC");
        else
            QTimer::singleShot(50, b.w.get(), [&] { b.pty.write("ABC"); });
        QTimer::singleShot(200, b.w.get(), pull);
        // Waits without limit for 6 bytes, as stated; the nested ticks show
        // the 3 and the window stays usable until the operator closes it.
        QString shownWhileWaiting;
        int depthWhileWaiting = 0;
        // The operator closes once a nested tick has shown the 3 bytes (or
        // gives up after 3 s): no fixed sleep.
        QTimer watch;
        QElapsedTimer since;
        since.start();
        QObject::connect(&watch, &QTimer::timeout, b.w.get(), [&] {
            if (b.w->receptionText() != expected && since.elapsed() < 3000)
                return;
            watch.stop();
            shownWhileWaiting = b.w->receptionText();
            depthWhileWaiting = b.w->depth(); // the command, and maybe a tick in it
            b.w->close();
        });
        watch.start(20);
        if (Wait(wait) == Wait::Read)
            b.w->Command3_Click();
        else
            b.w->Command1_Click();
        QCOMPARE(ended.count(), 1);
        QCOMPARE(shownWhileWaiting, expected);
        QVERIFY(depthWhileWaiting >= 1);
        break;
    }
    case Wait::FixedCommand:
        b.pty.respond(Fixed, "ABC");
        {
            std::thread device([&] {
                b.pty.waitForReceived(16, 2000);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                pull();
            });
            b.w->Command4_Click();
            device.join();
        }
        QVERIFY(t.elapsed() < 1900); // the wait ended with the device, not after its 2 s
        break;
    }
    QCOMPARE(b.w->receptionText(), expected);
    QVERIFY(!b.w->MSComm1->PortOpen());
    QVERIFY2(b.w->statusText().contains(QStringLiteral("COM1 : appareil déconnecté (%1)").arg(b.device)),
             qPrintable(b.w->statusText()));
    int gone = 0; // the loss is reported once, whatever the handler was doing
    for (const QList<QVariant> &e : errors)
        gone += e.at(0).value<CommError>() == CommError::DeviceGone;
    QCOMPARE(gone, 1);
}

void tst_Faults::heldByFlockProcess()
{
    const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
    if (flock.isEmpty())
        QSKIP("flock(1) is not installed");
    LineBench b(false);
    QProcess holder;
    holder.start(flock, {QStringLiteral("--nonblock"), b.pty.path(), QStringLiteral("sleep"), QStringLiteral("3")});
    QVERIFY(holder.waitForStarted());
    QTest::qWait(300);
    b.open();
    QVERIFY(!b.w->MSComm1->PortOpen());
    // The holder is named at once, or as soon as the search for it ends
    // (a slow machine, a sanitizer build).
    QTRY_VERIFY2_WITH_TIMEOUT(b.w->statusText().contains(QStringLiteral("COM1 occupé (") + b.device
                                                         + QStringLiteral(") : flock (pid ")),
                              qPrintable(b.w->statusText()), 2500);
    QVERIFY(holder.waitForFinished(5000));
    b.open(); // the holder is gone: the port opens
    QVERIFY(b.w->MSComm1->PortOpen());
}

void tst_Faults::notFound()
{
    QTemporaryDir dir;
    const QString absent = dir.filePath(QStringLiteral("ttyUSB9"));
    qputenv("VANTREL_COM1", absent.toLocal8Bit());
    frmVantrel w;
    w.Timer1->stop();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20; ++i)
        w.Timer1_Timer();
    QVERIFY(t.elapsed() < 10000); // no wait on a port that did not open (20 s if each tick waited)
    // The message, then a hint on the devices present, which depends on the machine.
    const QString message = QStringLiteral("Port fermé\nCOM1 introuvable (") + absent + QStringLiteral(") : branchez l'appareil. ");
    QVERIFY2(w.statusText().startsWith(message), qPrintable(w.statusText()));
}

// As a user without the right to the device; the test runs itself as nobody.
// The remedy names a group only when that group may read and write the
// device; otherwise the owner, and a remedy that works, never "join root".
void tst_Faults::permissionDenied_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("group");    // the device's group
    QTest::addColumn<QString>("expected"); // %1 the device, %2 its group, %3 its owner

    QTest::newRow("the group may read and write") << 0660 << "dialout"
        << "COM1 : accès refusé à %1, réservé au groupe %2. Ajoutez votre compte à ce groupe (sudo usermod -aG %2 "
           "$USER), puis fermez puis rouvrez votre session.";
    QTest::newRow("the owner alone") << 0600 << "dialout"
        << "COM1 : accès refusé à %1 : seul son propriétaire (%3) peut l'ouvrir, et aucun groupe. Demandez à "
           "l'administrateur de vous en donner l'accès, par exemple par une règle udev qui le confie au groupe "
           "dialout.";
    QTest::newRow("the group may only read") << 0640 << "dialout"
        << "COM1 : accès refusé à %1 : seul son propriétaire (%3) peut l'ouvrir, et aucun groupe. Demandez à "
           "l'administrateur de vous en donner l'accès, par exemple par une règle udev qui le confie au groupe "
           "dialout.";
    QTest::newRow("root's group") << 0660 << "root"
        << "COM1 : accès refusé à %1 : seul son propriétaire (%3) peut l'ouvrir, et aucun groupe. Demandez à "
           "l'administrateur de vous en donner l'accès, par exemple par une règle udev qui le confie au groupe "
           "dialout.";
}

void tst_Faults::permissionDenied()
{
    QFETCH(int, mode);
    QFETCH(QString, group);
    QFETCH(QString, expected);
    if (::geteuid() != 0)
        QSKIP("needs root to make a device that another user may not open");
    const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"));
    if (runuser.isEmpty())
        QSKIP("runuser is not installed");
    const ::group *g = ::getgrnam(group.toLocal8Bit().constData());
    if (!g)
        QSKIP("no such group here");
    PtyDevice pty;
    QVERIFY(::chown(pty.path().toLocal8Bit().constData(), uid_t(-1), g->gr_gid) == 0);
    QVERIFY(::chmod(pty.path().toLocal8Bit().constData(), mode_t(mode)) == 0);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANTREL_COM1"), pty.path());
    child.setProcessEnvironment(env);
    child.start(runuser, {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                          QCoreApplication::applicationFilePath(), QStringLiteral("--open-as-child")});
    QVERIFY(child.waitForFinished(10000));
    const QString out = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    if (child.exitCode() != 0) // e.g. the build tree is not reachable for nobody
        QSKIP(qPrintable(QStringLiteral("nobody could not run the test program here (%1): %2")
                             .arg(child.exitCode())
                             .arg(QString::fromLocal8Bit(child.readAllStandardError()).trimmed())));
    struct stat st {};
    QVERIFY(::stat(pty.path().toLocal8Bit().constData(), &st) == 0);
    const QString owner = QString::fromLocal8Bit(::getpwuid(st.st_uid)->pw_name);
    expected.replace(QStringLiteral("%1"), pty.path()).replace(QStringLiteral("%2"), group);
    QCOMPARE(out, expected.replace(QStringLiteral("%3"), owner));
    QVERIFY(!out.contains(QStringLiteral("-aG root")));
}

void tst_Faults::badLengthTextsDuringTicks()
{
    FakeWindow b;
    QRandomGenerator rng(7);
    const QStringList fixed = {"", " ", "-", "abc", "6.5", "99999", "-32769", "1e9", QString::fromUtf8("６"),
                               QString(10000, u'9'), QString::fromUtf8("\u0000"), QString::fromUtf8("😀")};
    for (int i = 0; i < 60; ++i) {
        QString text = i < fixed.size() ? fixed[i] : QString();
        for (int k = 0, n = int(rng.bounded(8)); i >= fixed.size() && k < n; ++k)
            text += QChar(char16_t(rng.bounded(0x20, 0x250)));
        b.w.Text3->setText(text);
        b.comm->arriveIn(5, QByteArray::number(i) + ';');
        QTimer::singleShot(30, &b.w, [&] { b.clock.advance(std::chrono::seconds(1)); });
        b.w.Timer1_Timer();
        QVERIFY(b.w.receptionText().endsWith(QString::number(i) + QStringLiteral(";\r\n")));
    }
    QCOMPARE(b.w.receptionText().count(QStringLiteral("\r\n")), 60); // nothing lost
}

void tst_Faults::rapidClicksOnSwitchOn()
{
    FakeWindow b;
    b.w.show();
    QSignalSpy ended(&b.w, &frmVantrel::programEnded);
    int clicks = 0;
    int deepest = 0;
    std::function<void()> click = [&] {
        deepest = qMax(deepest, b.w.depth());
        if (++clicks > 1000) {
            QTimer::singleShot(10, &b.w, [&] { b.w.close(); });
            return;
        }
        QTimer::singleShot(0, &b.w, click);
        QTest::mouseClick(b.w.Command1, Qt::LeftButton);
    };
    QTimer::singleShot(0, &b.w, click);
    QTest::qWait(20);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
    QCOMPARE(deepest, frmVantrel::MaxDepth);
    QCOMPARE(b.w.depth(), 0);
    QVERIFY(!b.comm->PortOpen());
}

void tst_Faults::clicksDuringWaits_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("button");
    for (const char *handler : {"Command1_Click", "Command3_Click", "Timer1_Timer"})
        for (const char *button : {"Command1", "Command2", "Command3", "Command4", "Command5"})
            QTest::newRow(qPrintable(QStringLiteral("%1, click on %2").arg(handler, button))) << handler << button;
}

// A click on every button during every yielding wait; then the device
// answers, and the operator closes the window.
void tst_Faults::clicksDuringWaits()
{
    QFETCH(QString, handler);
    QFETCH(QString, button);
    FakeWindow b;
    b.w.show();
    QSignalSpy ended(&b.w, &frmVantrel::programEnded);
    b.w.Text3->setText(QStringLiteral("6"));
    if (handler == QLatin1String("Timer1_Timer"))
        QTimer::singleShot(400, &b.w, [&] { b.clock.advance(std::chrono::seconds(1)); });
    QTimer::singleShot(10, &b.w, [&] { QTest::mouseClick(b.w.findChild<QPushButton *>(button), Qt::LeftButton); });
    QTimer::singleShot(20, &b.w, [&] { b.quickTick(); }); // reopen if the click closed it
    b.comm->arriveIn(30, "123456");
    b.comm->arriveIn(60, "789012");
    QTimer::singleShot(300, &b.w, [&] { b.w.close(); });
    QVERIFY(QMetaObject::invokeMethod(&b.w, handler.toLatin1().constData(), Qt::DirectConnection));
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(b.w.depth(), 0);
    QVERIFY(!b.comm->PortOpen());
    // Whatever was shown is what came, whole, in order.
    QVERIFY(QByteArray("123456789012").startsWith(boxBytes(b.w.receptionText())));
}

void tst_Faults::clicksDuringFixedCommandComeAfter()
{
    FakeWindow b;
    b.w.show();
    const QPoint centre = b.w.Command5->rect().center();
    // Posted while the wait holds the thread: handled after it returns.
    QCoreApplication::postEvent(b.w.Command5, new QMouseEvent(QEvent::MouseButtonPress, centre, b.w.Command5->mapToGlobal(centre),
                                                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(b.w.Command5, new QMouseEvent(QEvent::MouseButtonRelease, centre, b.w.Command5->mapToGlobal(centre),
                                                              Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    b.w.Command4_Click();
    QCOMPARE(b.comm->sets.last(), QStringLiteral("PortOpen=False"));
    QCOMPARE(b.w.receptionText(), QString());
    b.comm->setPortOpen(true);
    b.comm->arrive("after");
    QCoreApplication::processEvents();
    QCOMPARE(b.w.receptionText(), QStringLiteral("after\r\n")); // the click ran now
}

// The real program, closed by the system (SIGTERM at log-off) while a tick
// waits on a silent device: port closed, exit status 0.
void tst_Faults::systemCloseEndsWithStatus0_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("times"); // sent at once, faster than the window takes them
    QTest::newRow("SIGTERM") << int(SIGTERM) << 1;
    QTest::newRow("SIGINT") << int(SIGINT) << 1;
    QTest::newRow("SIGHUP") << int(SIGHUP) << 1;
    QTest::newRow("SIGQUIT") << int(SIGQUIT) << 1;
    QTest::newRow("SIGUSR1") << int(SIGUSR1) << 1;
    QTest::newRow("SIGUSR2") << int(SIGUSR2) << 1;
    QTest::newRow("SIGALRM") << int(SIGALRM) << 1;
    QTest::newRow("SIGPIPE is ignored, then SIGTERM") << int(SIGPIPE) << 1;
    // The handler never blocks on its full pipe, and the signals that come
    // once the window is closing do not end the program another way.
    QTest::newRow("20,000 SIGUSR1 at once") << int(SIGUSR1) << 20000;
}

// Every signal that would end the program by default ends it as a close of
// the window does: port closed, exit status 0, nothing left behind.
void tst_Faults::systemCloseEndsWithStatus0()
{
    QFETCH(int, signal);
    QFETCH(int, times);
    PtyDevice pty;
    QProcess tool;
    QVERIFY(startProgram(tool, pty.path()));
    QTest::qWait(1200); // opened by the first tick, now in a tick's wait
    pty.write("AB");
    QTest::qWait(100);
    for (int i = 0; i < times && ::kill(pid_t(tool.processId()), signal) == 0; ++i) {
    }
    if (signal == SIGPIPE) {
        QVERIFY(!tool.waitForFinished(300)); // still running
        ::kill(pid_t(tool.processId()), SIGTERM);
    }
    QVERIFY(tool.waitForFinished(3000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
}

// The real program on a port that another program holds, beside a file on
// a mount that never answers (a hung network share): it opens, looks for
// the holders at each open, and a close ends it at once with status 0. The
// mount is never asked anything.
void tst_Faults::closesBesideAHungMount()
{
    HungMount mount;
    if (!mount.isValid())
        QSKIP(qPrintable(QStringLiteral("FUSE not allowed here (%1)").arg(mount.why())));
    PtyDevice pty;
    const pid_t holder = HungMount::holdOpen({mount.file(), pty.path()});
    QVERIFY(holder > 0);
    const auto endHolder = qScopeGuard([holder] {
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
    });
    QProcess tool;
    QVERIFY(startProgram(tool, pty.path()));
    QTest::qWait(2500); // a few ticks: opens, searches, "Eteindre" and open again
    QCOMPARE(tool.state(), QProcess::Running);
    QVERIFY(::kill(pid_t(tool.processId()), SIGTERM) == 0);
    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(mount.attributeRequests(), 0);
}

// Run as another user by permissionDenied(): open COM1, print the status text.
static int openAsChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SerialComm comm;
    comm.setCommPort(1);
    comm.setPortOpen(true);
    std::printf("%s\n", qPrintable(StatusPieces::fullText(errorText(comm.lastError(), 1, comm.devicePath(), comm.errorDetail()))));
    return 0;
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--open-as-child") == 0)
        return openAsChild(argc, argv);
    QApplication app(argc, argv);
    tst_Faults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
