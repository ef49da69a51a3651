// The Windows serial control on a real COM port: under Wine, COM5 is a link
// to the pseudo-terminal of vantrel-sim (Linux), which scripts/windows.sh
// starts with --codes 4006381333931 --delay 30 and names in VANTREL_WINE_COM.
// Without it every case is skipped, saying why.
#include "BenchWindow.h"
#include "ReadRateFigures.h"
#include "ReadRateTest.h"
#include "SerialComm.h"
#include "frmVantrel.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <windows.h>

namespace {

QString wineCom()
{
    return qEnvironmentVariable("VANTREL_WINE_COM");
}

// Reads until `ending` came or 5 s passed.
QString readUntil(SerialComm &comm, const QString &ending)
{
    QString got;
    const QDeadlineTimer deadline(5000);
    while (!got.endsWith(ending) && !deadline.hasExpired()) {
        comm.waitForBytes(200);
        got += comm.Input();
    }
    return got;
}

} // namespace

class tst_WinComm : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void names_data();
    void names();
    void exchanges_data();
    void exchanges();
    void heldPortIsBusy();
    void closedPortSendsNothing();
    void readRateOnTheSimulator();
};

void tst_WinComm::init()
{
    QFile::remove(SettingsStore::userFileName());
    if (QByteArray(QTest::currentTestFunction()).startsWith("names"))
        return;
    if (wineCom().isEmpty())
        QSKIP("VANTREL_WINE_COM n'est pas donné : pas de simulateur sur un port COM");
    qputenv("VANTREL_COM1", wineCom().toUtf8());
}

void tst_WinComm::names_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("system");

    QTest::newRow("COM5") << "COM5" << "\\\\.\\COM5";
    QTest::newRow("com12 in lower case") << "com12" << "\\\\.\\COM12";
    QTest::newRow("already the system's name") << "\\\\.\\COM3" << "\\\\.\\COM3";
    QTest::newRow("another device as given") << "\\\\.\\CNCA0" << "\\\\.\\CNCA0";
}

void tst_WinComm::names()
{
    QFETCH(QString, path);
    QFETCH(QString, system);
    QCOMPARE(SerialComm::systemName(path), system);
}

void tst_WinComm::exchanges_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("answer");

    QTest::newRow("trigger: the scan, whole") << QByteArray("\x1bS7\r") << "4006381333931\r";
    QTest::newRow("fixed command: its 13 bytes") << QByteArray("48200000000050\r\n") << "ACK48200000\r\n";
    QTest::newRow("unknown setting: NAK") << QByteArray("\x1bZZ\r") << "\x15";
}

void tst_WinComm::exchanges()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, answer);
    SerialComm comm;
    QSignalSpy sentSpy(&comm, &CommControl::sent);
    comm.setPortOpen(true);
    QVERIFY2(comm.PortOpen(), qPrintable(comm.errorDetail()));
    QCOMPARE(comm.devicePath(), wineCom());
    comm.setOutput(QString::fromLatin1(sent));
    QCOMPARE(comm.lastError(), CommError::None);
    QCOMPARE(sentSpy.size(), 1);
    QCOMPARE(sentSpy.first().at(0).toByteArray(), sent);
    QCOMPARE(readUntil(comm, answer.right(1)), answer);
    comm.setPortOpen(false);
    QVERIFY(!comm.PortOpen());
}

// Windows opens a COM port for one program at a time: a second open is
// refused as held by another, with the system's reason, and works once the
// first has closed.
void tst_WinComm::heldPortIsBusy()
{
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        QSKIP("Wine laisse deux programmes ouvrir le même port COM : seul Windows le refuse");
    SerialComm first;
    first.setPortOpen(true);
    QVERIFY(first.PortOpen());
    SerialComm second;
    QSignalSpy errors(&second, &CommControl::errorOccurred);
    second.setPortOpen(true);
    QVERIFY(!second.PortOpen());
    QCOMPARE(second.lastError(), CommError::Busy);
    QVERIFY2(second.errorDetail().contains(QStringLiteral("autre programme")), qPrintable(second.errorDetail()));
    QCOMPARE(errors.size(), 1);
    first.setPortOpen(false);
    second.setPortOpen(true);
    QVERIFY(second.PortOpen());
}

void tst_WinComm::closedPortSendsNothing()
{
    SerialComm comm;
    QSignalSpy sentSpy(&comm, &CommControl::sent);
    comm.setOutput(QStringLiteral("\x1bS7\r"));
    QCOMPARE(comm.lastError(), CommError::NotOpen);
    QCOMPARE(sentSpy.size(), 0);
}

// The bench's read-rate test through the window, on the simulator that
// answers each trigger after 30 ms: 20 triggers, 20 reads, p50 within 10 ms
// of the simulator's delay.
void tst_WinComm::readRateOnTheSimulator()
{
    frmVantrel w;
    w.showBench();
    w.openPort();
    QVERIFY(w.MSComm1->PortOpen());
    BenchWindow &bench = *w.bench();
    QSignalSpy done(&bench.readRateTest(), &ReadRateTest::finished);
    QCOMPARE(bench.startReadRate(20, 1000, 20), QString());
    QVERIFY(done.wait(60000));
    const ReadRateFigures &f = bench.readRateTest().figures();
    QCOMPARE(f.triggers, 20);
    QCOMPARE(f.noReads, 0);
    const qint64 p50 = f.percentile(50);
    QVERIFY2(p50 >= 20 && p50 <= 40, qPrintable(QString::number(p50)));
}

QTEST_MAIN(tst_WinComm)
#include "tst_wincomm.moc"
