#include "FakeWindow.h"
#include "PtyDevice.h"
#include "ScannerCommands.h"
#include "StatusText.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {

const QByteArray ReadStart(ScannerCommands::ReadStart);
const QByteArray ReadEnd(ScannerCommands::ReadEnd);
const QByteArray Fixed(ScannerCommands::FixedCommand);

// A window on a pseudo-terminal as COM1, with the timer stopped.
struct PtyBench {
    PtyDevice pty;
    frmVantrel *w;
    PtyBench()
    {
        qputenv("VANTREL_COM1", pty.path().toLocal8Bit());
        w = new frmVantrel;
        w->Timer1->stop();
    }
    ~PtyBench() { delete w; }
    void openPort() { QVERIFY(w->openPort()); } // the selected port, COM1
};

} // namespace

class tst_Commands : public QObject
{
    Q_OBJECT
private slots:
    void commandBytes_data();
    void commandBytes();
    // On a pseudo-terminal, the test as the device.
    void switchOn();
    void switchOnMessageGoesWithThePort();
    void triggeredRead();
    void fixedCommandNoAnswer();
    void fixedCommandAnswered();
    void commandsOnOpenPortSendNothing_data();
    void commandsOnOpenPortSendNothing();
    void bufferRead();
    void refusedOpenSendsNothing_data();
    void refusedOpenSendsNothing();

    // On the in-memory control.
    void nestedTickTakesTheBytes();
    void nestedSwitchOffDuringRead();
    void writeOnPortClosedUnderRead();
    void closeDuringWait_data();
    void closeDuringWait();
    void unplugDuringReadSaysTriggered();
    void closeDuringFixedCommand();
    void depthCap();
};

// The commands as the line carries them, byte by byte.
void tst_Commands::commandBytes_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("read start: ESC S7 CR") << ReadStart << QByteArray("1b53370d");
    QTest::newRow("read end: ESC S8 CR") << ReadEnd << QByteArray("1b53380d");
    QTest::newRow("fixed command") << Fixed << QByteArray("34383230303030303030303035300d0a");
}

void tst_Commands::commandBytes()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, hex);
    QCOMPARE(command.toHex(), hex);
}

void tst_Commands::switchOn()
{
    PtyBench b;
    QString whileWaiting;
    QTimer::singleShot(50, b.w, [&] { b.pty.write("0123"); });
    QTimer::singleShot(100, b.w, [&] { whileWaiting = b.w->statusText(); });
    QTimer::singleShot(150, b.w, [&] { b.pty.write("45"); });
    b.w->Command1_Click();
    QCOMPARE(b.w->receptionText(), QStringLiteral("012345\r\n"));
    // Said while the device was silent, gone once the bytes came.
    QVERIFY2(whileWaiting.endsWith(QStringLiteral("COM1 : « Allumer » attend 6 octets de l'appareil ; seuls ces "
                                                  "octets mettent fin à l'attente. Scannez un code ; la fenêtre reste "
                                                  "utilisable en attendant.")),
             qPrintable(whileWaiting));
    QVERIFY(!b.w->statusText().contains(QStringLiteral("attend")));
    QVERIFY(b.w->MSComm1->PortOpen());
    QVERIFY(b.pty.received().isEmpty());
}

// "Allumer" waits on a silent device; "Eteindre" closes the port under the
// wait: what the status line said of the wait goes with it.
void tst_Commands::switchOnMessageGoesWithThePort()
{
    FakeWindow b;
    QString whileWaiting;
    QTimer::singleShot(10, &b.w, [&] { whileWaiting = b.w.statusText(); });
    QTimer::singleShot(20, &b.w, [&] { b.w.Command2_Click(); });
    QTimer::singleShot(30, &b.w, [&] { b.w.close(); }); // the wait ends only on 6 bytes, or the end
    b.w.Command1_Click();
    QVERIFY2(whileWaiting.contains(QStringLiteral("attend 6 octets")), qPrintable(whileWaiting));
    QCOMPARE(b.w.statusText(), QStringLiteral("Port fermé"));
}

void tst_Commands::triggeredRead()
{
    PtyBench b;
    b.pty.respond(ReadStart, "4006381333931\r");
    b.w->Command3_Click();
    QVERIFY(!b.w->MSComm1->PortOpen());
    QVERIFY(b.pty.waitForReceived(8, 2000));
    QCOMPARE(b.pty.received(), ReadStart + ReadEnd);
    QCOMPARE(b.w->receptionText(), QString::fromUtf8("4006381333931\u240D\r\n"));
    // The click that acted says so.
    QCOMPARE(b.w->statusText(), QStringLiteral("Port fermé\nLecture sur COM1 : 14 octets reçus."));
}

void tst_Commands::fixedCommandNoAnswer()
{
    PtyBench b;
    QElapsedTimer click;
    click.start();
    b.w->Command4_Click();
    const qint64 waited = click.elapsed();
    QVERIFY(!b.w->MSComm1->PortOpen());
    QVERIFY(b.pty.waitForReceived(16, 5000));
    QCOMPARE(b.pty.received(), Fixed);
    // Two seconds from the command's write (a busy machine may add to them).
    QVERIFY2(waited >= 2000 && waited < 10000, qPrintable(QString::number(waited)));
    QCOMPARE(b.w->receptionText(), QString());
    QVERIFY(b.w->statusText().endsWith(QStringLiteral("aucune réponse en 2 secondes. Vérifiez que l'appareil est "
                                                      "allumé et branché.")));
}

void tst_Commands::fixedCommandAnswered()
{
    PtyBench b;
    b.pty.respond(Fixed, "OK0123456789");
    QElapsedTimer t;
    t.start();
    b.w->Command4_Click();
    QVERIFY2(t.elapsed() < 1900, qPrintable(QString::number(t.elapsed()))); // the reply ended the 2 s wait
    QVERIFY(!b.w->MSComm1->PortOpen());
    QCOMPARE(b.pty.received(), Fixed);
    QCOMPARE(b.w->receptionText(), QString()); // the reply is dropped
    QCOMPARE(b.w->MSComm1->InBufferCount(), 0);
    QVERIFY2(b.w->statusText().endsWith(QStringLiteral("Commande envoyée sur COM1 : 12 octets reçus en réponse "
                                                       "(la réponse n'est pas affichée).")),
             qPrintable(b.w->statusText()));
}

void tst_Commands::commandsOnOpenPortSendNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("Lire") << "Command3";
    QTest::newRow("Envoyer commande") << "Command4";
}

void tst_Commands::commandsOnOpenPortSendNothing()
{
    QFETCH(QString, button);
    PtyBench b;
    b.openPort();
    QVERIFY(b.w->MSComm1->PortOpen());
    b.pty.write("123456789012");
    QTRY_COMPARE(b.w->MSComm1->InBufferCount(), 12);

    auto *clicked = b.w->findChild<QPushButton *>(button);
    clicked->click();
    QVERIFY(b.w->MSComm1->PortOpen());
    QVERIFY(!b.pty.waitForReceived(1, 200));
    QCOMPARE(b.w->receptionText(), QString());
    QCOMPARE(b.w->MSComm1->InBufferCount(), 12);
    // The click is answered: why nothing went, and what to do.
    QVERIFY2(b.w->statusText().endsWith(QStringLiteral("« ") + clicked->text()
                                        + QStringLiteral(" » n'a rien envoyé : il n'agit que sur un port fermé, et COM1 "
                                                         "est ouvert. Cliquez sur « Eteindre », puis sur « ")
                                        + clicked->text()
                                        + QStringLiteral(" » dans la demi-seconde : la réception rouvre le port à son "
                                                         "prochain passage.")),
             qPrintable(b.w->statusText()));
}

void tst_Commands::bufferRead()
{
    PtyBench b;
    b.openPort();
    b.w->Command5_Click();
    QCOMPARE(b.w->receptionText(), QString());
    QVERIFY(b.w->statusText().endsWith(QStringLiteral("« Lire buffer » : aucun octet en attente sur COM1. Scannez un "
                                                      "code, puis réessayez.")));
    b.pty.write(QByteArray("AB\x00" "C", 4));
    QTRY_COMPARE(b.w->MSComm1->InBufferCount(), 4);
    b.w->Command5_Click();
    QCOMPARE(b.w->receptionText(), QString::fromUtf8("AB\u2400C\r\n"));
    b.w->Command5_Click();
    QCOMPARE(b.w->receptionText(), QString::fromUtf8("AB\u2400C\r\n"));
}

void tst_Commands::refusedOpenSendsNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("Allumer") << "Command1";
    QTest::newRow("Lire") << "Command3";
    QTest::newRow("Envoyer commande") << "Command4";
}

void tst_Commands::refusedOpenSendsNothing()
{
    QFETCH(QString, button);
    PtyBench b;
    PtyBench other; // another Vantrel holds the port first
    qputenv("VANTREL_COM1", b.pty.path().toLocal8Bit());
    other.openPort();
    QVERIFY(other.w->MSComm1->PortOpen());

    QElapsedTimer t;
    t.start();
    b.w->findChild<QPushButton *>(button)->click();
    QVERIFY(t.elapsed() < 1500); // returns at once, no wait (of 2 s, or for ever) on a refused port
    QVERIFY(!b.w->MSComm1->PortOpen());
    QVERIFY(!b.pty.waitForReceived(1, 200));
    QVERIFY2(b.w->statusText().contains(QStringLiteral("COM1 occupé (%1)").arg(b.pty.path())),
             qPrintable(b.w->statusText()));
}

void tst_Commands::nestedTickTakesTheBytes()
{
    FakeWindow b;
    b.comm->setPortOpen(true);
    QTimer::singleShot(10, &b.w, [&] {
        b.comm->arriveIn(10, "ABCDEF"); // reaches the tick's wait
        b.w.Timer1_Timer();
        b.comm->arriveIn(50, "GHIJKL"); // reaches the switch-on's wait
    });
    b.w.Command1_Click();
    QCOMPARE(b.w.receptionText(), QStringLiteral("ABCDEF\r\nGHIJKL\r\n"));
}

void tst_Commands::nestedSwitchOffDuringRead()
{
    FakeWindow b;
    QTimer::singleShot(10, &b.w, [&] { b.w.Command2_Click(); });
    QTimer::singleShot(20, &b.w, [&] { b.quickTick(); }); // reopens COM1
    b.comm->arriveIn(30, "123456");
    b.w.Command3_Click();
    QCOMPARE(b.comm->sets,
             QStringList({"CommPort=1", "PortOpen=True", "Output=\x1bS7\r", "Output=\x1bS8\r", "PortOpen=False",
                          "CommPort=1", "PortOpen=True", "Output=\x1bS8\r", "PortOpen=False"}));
    // "Eteindre" ends the read before it closes; the handler ends its own
    // read on the port the tick reopened, as before.
    QCOMPARE(b.comm->written, ReadStart + ReadEnd + ReadEnd);
    QCOMPARE(b.w.receptionText(), QStringLiteral("123456\r\n"));
}

void tst_Commands::writeOnPortClosedUnderRead()
{
    FakeWindow b;
    QTimer::singleShot(10, &b.w, [&] {
        b.comm->arrive("123456");
        b.w.Command2_Click();
    });
    b.w.Command3_Click();
    QCOMPARE(b.w.receptionText(), QStringLiteral("123456\r\n"));
    QCOMPARE(b.comm->written, ReadStart + ReadEnd); // ended by "Eteindre"; the handler's own end found the port closed
    QVERIFY2(b.w.statusText().contains(QStringLiteral("port fermé, rien n'a été envoyé")), qPrintable(b.w.statusText()));
    QVERIFY(!b.comm->PortOpen());
}

void tst_Commands::closeDuringWait_data()
{
    QTest::addColumn<QString>("handler");
    QTest::newRow("Allumer") << "Command1_Click";
    QTest::newRow("Lire") << "Command3_Click";
    QTest::newRow("tick") << "Timer1_Timer";
    QTest::newRow("tick inside Allumer") << "nested";
}

void tst_Commands::closeDuringWait()
{
    QFETCH(QString, handler);
    FakeWindow b;
    b.w.show();
    QSignalSpy ended(&b.w, &frmVantrel::programEnded);
    b.comm->setPortOpen(handler != QLatin1String("Command3_Click"));
    b.comm->sets.clear();
    b.comm->arriveIn(10, "abc");         // fewer than the 6 waited for
    QTimer::singleShot(30, &b.w, [&] { b.w.close(); });
    b.comm->arriveIn(60, "defghijkl");  // comes too late: the program has ended

    if (handler == QLatin1String("nested")) {
        QTimer::singleShot(5, &b.w, [&] { b.w.Timer1_Timer(); });
        b.w.Command1_Click();
    } else {
        QVERIFY(QMetaObject::invokeMethod(&b.w, handler.toLatin1().constData(), Qt::DirectConnection));
    }
    QTest::qWait(100);

    QCOMPARE(ended.count(), 1);
    QCOMPARE(b.w.receptionText(), QString());
    QVERIFY(!b.comm->PortOpen());
    QCOMPARE(b.comm->sets.last(), QStringLiteral("PortOpen=False"));
    QCOMPARE(b.w.depth(), 0);
    // A read cut short by the close is ended on the line before the port closes.
    if (handler == QLatin1String("Command3_Click"))
        QCOMPARE(b.comm->sets.mid(b.comm->sets.size() - 3),
                 QStringList({"Output=\x1bS7\r", "Output=\x1bS8\r", "PortOpen=False"}));
    else
        QVERIFY(!b.comm->written.contains(ReadEnd));
}

// The device goes away while "Lire" waits: the end of the read cannot be
// sent, and the status line says the scanner may still be firing.
void tst_Commands::unplugDuringReadSaysTriggered()
{
    FakeWindow b;
    QTimer::singleShot(10, &b.w, [&] { b.comm->unplug(); });
    QTimer::singleShot(30, &b.w, [&] { b.w.close(); });
    b.w.Command3_Click();
    QCOMPARE(b.comm->written, ReadStart);
    QVERIFY2(b.w.statusText().contains(QStringLiteral("appareil déconnecté"))
                 && b.w.statusText().endsWith(stillTriggeredText()),
             qPrintable(b.w.statusText()));
}

void tst_Commands::closeDuringFixedCommand()
{
    // The fixed command's wait processes no events: a close made meanwhile is
    // handled once it returns.
    FakeWindow b;
    b.w.show();
    QSignalSpy ended(&b.w, &frmVantrel::programEnded);
    QTimer::singleShot(0, &b.w, [&] { b.w.close(); });
    b.w.Command4_Click(); // its 2 s pass on the test clock, without events
    QCOMPARE(ended.count(), 0);
    QCOMPARE(b.comm->written, Fixed);
    QTRY_COMPARE(ended.count(), 1);
}

void tst_Commands::depthCap()
{
    // 200 clicks on "Allumer", each inside the wait of the one before, with a
    // silent device. A repeating timer would not re-enter its own slot, so
    // each click schedules the next from a fresh single-shot timer.
    FakeWindow b;
    b.comm->setPortOpen(true);
    int clicks = 0;
    int deepest = 0;
    std::function<void()> click = [&] {
        deepest = qMax(deepest, b.w.depth());
        if (++clicks == 200) {
            b.comm->arriveIn(5, "123456");
            QTimer::singleShot(30, &b.w, [&] { b.w.close(); });
            return;
        }
        QTimer::singleShot(0, &b.w, click);
        b.w.Command1->click();
    };
    QTimer::singleShot(0, &b.w, click);
    b.w.Command1_Click();
    QTest::qWait(50);

    QCOMPARE(clicks, 200);
    QCOMPARE(deepest, frmVantrel::MaxDepth);
    QCOMPARE(b.w.receptionText(), QStringLiteral("123456\r\n")); // the innermost took them
    QVERIFY(b.w.statusText().contains(QStringLiteral("Trop de commandes en attente les unes dans les autres : clic ignoré.")));
    QCOMPARE(b.w.depth(), 0);
    QVERIFY(b.w.ending());
}

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"
