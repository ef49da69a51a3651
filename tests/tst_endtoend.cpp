#include "BoxBytes.h"
#include "SimProcess.h"
#include "frmVantrel.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// The simulator as COM1 through a link, and the window in this process.
struct EndToEnd {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("scanner"));
    SimProcess sim;
    std::unique_ptr<frmVantrel> w;

    bool start(const QStringList &options, bool timer = true)
    {
        if (!sim.start(QStringList{"--link", link} + options))
            return false;
        qputenv("VANTREL_COM1", link.toLocal8Bit());
        w = std::make_unique<frmVantrel>();
        if (!timer)
            w->Timer1->stop();
        w->show();
        return true;
    }
    ~EndToEnd()
    {
        w.reset();
        sim.stop();
    }
};

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void passiveMonitoring_data();
    void passiveMonitoring();
    void triggeredRead();
    void fixedCommand();
    void bufferRead();
    void unplugAndReplug();
};

void tst_EndToEnd::passiveMonitoring_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("scanLength");
    QTest::newRow("periodic scans") << QStringList{"--every", "0.3"} << 14;
    QTest::newRow("split scans") << QStringList{"--every", "0.3", "--split"} << 14;
    QTest::newRow("garbage scans") << QStringList{"--every", "0.3", "--garbage"} << 21;
    QTest::newRow("paced scans") << QStringList{"--every", "0.3", "--pace"} << 14;
}

void tst_EndToEnd::passiveMonitoring()
{
    QFETCH(QStringList, options);
    QFETCH(int, scanLength);
    EndToEnd e;
    QVERIFY(e.start(options));
    QTRY_VERIFY_WITH_TIMEOUT(boxBytes(e.w->receptionText()).size() >= 5 * scanLength, 10000);
    e.w->Timer1->stop();
    e.w->Command5_Click();
    e.w->Command2_Click(); // what is still on the line after this is not ours to show
    e.w->Command5_Click();
    QCOMPARE(e.sim.stop(), 0);

    // What the device sent, byte for byte, in order: all of it but what it
    // sent after the port was closed, at most the scan then under way.
    const QByteArray sent = e.sim.sent();
    const QByteArray shown = boxBytes(e.w->receptionText());
    QVERIFY(shown.size() >= 5 * scanLength);
    QCOMPARE(shown, sent.left(shown.size()));
    QVERIFY2(sent.size() - shown.size() <= scanLength, qPrintable(QString::number(sent.size() - shown.size())));
    QVERIFY(e.w->receptionText().endsWith(QStringLiteral("\r\n")));
}

void tst_EndToEnd::triggeredRead()
{
    EndToEnd e;
    QVERIFY(e.start({"--codes", "3760123456789"}, false));
    e.w->Command3_Click();
    QVERIFY(!e.w->MSComm1->PortOpen());
    QCOMPARE(e.w->receptionText(), QString::fromUtf8("3760123456789\u240D\r\n"));
    QTRY_VERIFY(e.sim.log().contains(QStringLiteral("reçu   : 1B 53 38 0D")));
    const QString log = e.sim.log();
    QVERIFY2(log.indexOf(QStringLiteral("reçu   : 1B 53 37 0D")) < log.indexOf(QStringLiteral("envoyé : 33 37 36")), qPrintable(log));
    QVERIFY(log.indexOf(QStringLiteral("envoyé : 33 37 36")) < log.indexOf(QStringLiteral("reçu   : 1B 53 38 0D")));
}

void tst_EndToEnd::fixedCommand()
{
    EndToEnd e;
    QVERIFY(e.start({}, false));
    e.w->Command4_Click();
    QVERIFY(!e.w->MSComm1->PortOpen());
    QCOMPARE(e.w->receptionText(), QString()); // the reply is taken and dropped
    QCOMPARE(e.w->MSComm1->InBufferCount(), 0);
    QTRY_VERIFY(e.sim.log().contains(QStringLiteral("envoyé : 41 43 4B")));
    QVERIFY(e.sim.log().contains(QStringLiteral("reçu   : 34 38 32 30 30 30 30 30 30 30 30 30 35 30 0D 0A")));
}

void tst_EndToEnd::bufferRead()
{
    EndToEnd e;
    QVERIFY(e.start({"--every", "0.25", "--codes", "ABCDEF123"}, false));
    e.w->Command1_Click(); // opens, waits for 6 bytes
    QCOMPARE(e.w->receptionText(), QString::fromUtf8("ABCDEF123\u240D\r\n"));
    QTest::qWait(400);
    e.w->Command5_Click();
    QVERIFY(e.w->receptionText().startsWith(QString::fromUtf8("ABCDEF123\u240D\r\nABCDEF123\u240D")));
    QVERIFY(e.w->MSComm1->PortOpen());
}

void tst_EndToEnd::unplugAndReplug()
{
    EndToEnd e;
    QVERIFY(e.start({"--every", "0.3", "--codes", "FIRST001"}));
    QTRY_VERIFY_WITH_TIMEOUT(e.w->receptionText().contains(QStringLiteral("FIRST001")), 5000);

    QCOMPARE(e.sim.stop(), 0); // the adapter is pulled
    QTRY_VERIFY(!e.w->MSComm1->PortOpen());
    QTRY_VERIFY(e.w->statusText().contains(QStringLiteral("appareil déconnecté")));

    SimProcess again; // plugged back: same link, another pseudo-terminal
    QVERIFY(again.start({"--link", e.link, "--every", "0.3", "--codes", "SECOND02"}));
    QTRY_VERIFY_WITH_TIMEOUT(e.w->receptionText().contains(QStringLiteral("SECOND02")), 5000);
    QVERIFY(e.w->statusText().startsWith(QStringLiteral("COM1 ouvert (%1)").arg(e.link)));
    QCOMPARE(again.stop(), 0);
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
