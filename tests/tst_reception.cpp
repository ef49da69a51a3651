#include "FakeWindow.h"
#include "PtyDevice.h"
#include "frmVantrel.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

struct Arrival {
    int ms;
    QByteArray bytes;
};
using Script = QList<QList<Arrival>>; // one list of arrivals per tick

} // namespace

class tst_Reception : public QObject
{
    Q_OBJECT
private slots:
    void ticks_data();
    void ticks();
    void invalidLengthMessageClears();
    void deadlineTestedBeforeLength();
    void listChangeWhileOpen();
    void firstTickOpensCom1();
    void tickNeverInsideTick();
    void overdueTicksComeOnce();
    void deviceGoneDuringTick();
    void ptyMessagesLineByLine();
    void ptyUnplugAndReplug();
};

// Each row runs its ticks one after the other on the in-memory control. The
// test clock reaches the tick's deadline 150 ms after the tick starts, unless
// the wait has ended on N bytes before.
void tst_Reception::ticks_data()
{
    QTest::addColumn<QString>("length");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("lengthMessage");

    QTest::newRow("10 bytes at once, N = 6")
        << "6" << Script{{{10, "0123456789"}}} << "0123456789\r\n" << false;
    QTest::newRow("6 bytes, then 4 in the next tick")
        << "6" << Script{{{10, "ABCDEF"}}, {{10, "GHIJ"}}} << "ABCDEF\r\nGHIJ\r\n" << false;
    QTest::newRow("6 bytes in pieces within one tick")
        << "6" << Script{{{5, "AB"}, {20, "CD"}, {40, "EF"}}} << "ABCDEF\r\n" << false;
    QTest::newRow("silent device: no blank lines")
        << "6" << Script{{}, {}, {}} << "" << false;
    QTest::newRow("N = 100, 10 bytes: one line at the deadline")
        << "100" << Script{{{10, "0123456789"}}} << "0123456789\r\n" << false;
    QTest::newRow("N = 0 takes what is waiting")
        << "0" << Script{{{0, "XY"}}, {}} << "XY\r\n" << false;
    QTest::newRow("negative N ends at once")
        << "-5" << Script{{{0, "Z"}}} << "Z\r\n" << false;
    QTest::newRow("spaces and sign around N")
        << " +3 " << Script{{{10, "abc"}}} << "abc\r\n" << false;
    QTest::newRow("emptied: data still appended at the deadline")
        << "" << Script{{{10, "0123456789"}}} << "0123456789\r\n" << true;
    QTest::newRow("abc: the monitor keeps working")
        << "abc" << Script{{{10, "AB"}}, {{10, "CD"}}} << "AB\r\nCD\r\n" << true;
    QTest::newRow("out of range") << "99999" << Script{{{10, "1"}}} << "1\r\n" << true;
    QTest::newRow("fraction") << "6.5" << Script{{{10, "1234567"}}} << "1234567\r\n" << true;
}

void tst_Reception::ticks()
{
    QFETCH(QString, length);
    QFETCH(Script, script);
    QFETCH(QString, expected);
    QFETCH(bool, lengthMessage);

    FakeWindow b;
    auto &[comm, clock, ports, w] = b;
    w.Text3->setText(length);

    for (const auto &arrivals : script) {
        // Arrivals before the tick are waiting when it starts.
        for (const Arrival &a : arrivals) {
            if (a.ms == 0 && comm->PortOpen())
                comm->arrive(a.bytes);
            else
                comm->arriveIn(a.ms, a.bytes);
        }
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, [&] { clock.advance(1s); });
        deadline.start(150);
        QElapsedTimer t;
        t.start();
        w.Timer1_Timer();
        QVERIFY2(t.elapsed() < 1000, "a tick outlived its deadline");
    }
    QCOMPARE(w.receptionText(), expected);
    QCOMPARE(w.statusText().contains(QStringLiteral("« Longueur a lire » non valide : « ") + length + QStringLiteral(" »")),
             lengthMessage);
    QVERIFY(comm->PortOpen()); // the tick never closes the port
}

void tst_Reception::invalidLengthMessageClears()
{
    FakeWindow b;
    auto &[comm, clock, ports, w] = b;
    w.Text3->setText(QStringLiteral("abc"));
    QTimer::singleShot(50, &w, [&] { clock.advance(1s); });
    w.Timer1_Timer();
    QVERIFY(w.statusText().contains(QStringLiteral("non valide")));

    // Retyped during the next tick's wait: the message goes and N holds.
    QTimer::singleShot(20, &w, [&] { w.Text3->setText(QStringLiteral("4")); });
    comm->arriveIn(40, "1234");
    w.Timer1_Timer();
    QCOMPARE(w.statusText(), QStringLiteral("COM1 ouvert (/dev/fake1)"));
    QCOMPARE(w.receptionText(), QStringLiteral("1234\r\n"));
}

void tst_Reception::deadlineTestedBeforeLength()
{
    // The deadline passes during the first yield: the wait ends there, before
    // the length is read, so an invalid text is not even looked at.
    FakeWindow b;
    auto &[comm, clock, ports, w] = b;
    w.Text3->setText(QStringLiteral("abc"));
    comm->setPortOpen(true);
    comm->arrive("late");
    QTimer::singleShot(0, &w, [&] { clock.advance(2s); });
    const int before = comm->countReads;
    w.Timer1_Timer();
    QCOMPARE(comm->countReads, before);
    QVERIFY(!w.statusText().contains(QStringLiteral("non valide")));
    QCOMPARE(w.receptionText(), QStringLiteral("late\r\n"));
}

void tst_Reception::listChangeWhileOpen()
{
    FakeWindow b;
    auto &[comm, clock, ports, w] = b;
    w.Text3->setText(QStringLiteral("0"));
    w.Timer1_Timer();
    w.List1->setCurrentRow(4);
    w.Timer1_Timer();
    w.Timer1_Timer();
    QCOMPARE(comm->sets, QStringList({"CommPort=1", "PortOpen=True"}));
    w.Command2_Click();
    w.Timer1_Timer();
    QCOMPARE(comm->sets.mid(2), QStringList({"PortOpen=False", "CommPort=5", "PortOpen=True"}));
}

void tst_Reception::firstTickOpensCom1()
{
    QElapsedTimer t;
    t.start();
    auto *comm = new FakeComm;
    frmVantrel w(comm);
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(comm->PortOpen(), 2000);
    QVERIFY(t.elapsed() >= 450);
    QCOMPARE(comm->sets.first(), QStringLiteral("CommPort=1"));
}

void tst_Reception::tickNeverInsideTick()
{
    // A silent device: every tick waits its whole second while the 500 ms
    // timer keeps falling due. Sample the nesting depth from inside the waits.
    auto *comm = new FakeComm;
    frmVantrel w(comm);
    int deepest = 0;
    int completed = 0;
    connect(w.Timer1, &QTimer::timeout, [&] { ++completed; });
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&] { deepest = qMax(deepest, w.depth()); });
    probe.start(20);
    QTest::qWait(3300);
    QCOMPARE(deepest, 1);
    QVERIFY2(completed >= 2 && completed <= 3, qPrintable(QString::number(completed)));
}

void tst_Reception::overdueTicksComeOnce()
{
    // While the fixed command's wait holds the thread for 2 s, four ticks
    // fall due; afterwards one runs, not four.
    auto *comm = new FakeComm;
    frmVantrel w(comm);
    w.Text3->setText(QStringLiteral("0")); // each tick ends at its first pass
    int ticks = 0;
    connect(w.Timer1, &QTimer::timeout, [&] { ++ticks; });
    QTRY_VERIFY(comm->PortOpen());
    w.Command2_Click();
    w.Command4_Click();
    ticks = 0;
    QTest::qWait(250);
    QCOMPARE(ticks, 1);
}

void tst_Reception::deviceGoneDuringTick()
{
    FakeWindow b;
    auto &[comm, clock, ports, w] = b;
    comm->setPortOpen(true);
    comm->arriveIn(10, "ABC");
    QTimer::singleShot(30, &w, [&] { comm->unplug(); });
    QTimer::singleShot(60, &w, [&] { clock.advance(1s); });
    w.Timer1_Timer();
    QCOMPARE(w.receptionText(), QStringLiteral("ABC\r\n"));
    QVERIFY(w.statusText().contains(QStringLiteral("appareil déconnecté")));
}

void tst_Reception::ptyMessagesLineByLine()
{
    PtyDevice pty;
    qputenv("VANTREL_COM1", pty.path().toLocal8Bit());
    frmVantrel w;
    w.Text3->setText(QStringLiteral("9"));
    QTRY_VERIFY(w.MSComm1->PortOpen());

    QList<QByteArray> sent;
    for (int i = 0; i < 8; ++i)
        sent << QByteArray("CODE") + QByteArray::number(1000 + i) + '\r';
    int next = 0;
    QTimer device;
    connect(&device, &QTimer::timeout, [&] {
        if (next < sent.size())
            pty.write(sent[next++]);
    });
    device.start(300);
    QTRY_VERIFY_WITH_TIMEOUT(w.receptionText().count(QStringLiteral("\r\n")) >= 1
                                 && w.receptionText().remove(QStringLiteral("\r\n")).size() == 8 * 9,
                             8000);

    // Every line is one or more whole messages, in order, byte for byte.
    const QStringList lines = w.receptionText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.last(), QString());
    QString shown;
    for (const QByteArray &m : sent)
        shown += QString::fromLatin1(m.left(8)) + QChar(0x240D);
    QCOMPARE(lines.join(QString()), shown);
    for (const QString &line : lines.mid(0, lines.size() - 1)) {
        QVERIFY2(!line.isEmpty() && line.size() % 9 == 0, qPrintable(line));
        QVERIFY(line.endsWith(QChar(0x240D)));
    }
}

void tst_Reception::ptyUnplugAndReplug()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scanner"));
    auto pty = std::make_unique<PtyDevice>();
    QVERIFY(QFile::link(pty->path(), link));
    qputenv("VANTREL_COM1", link.toLocal8Bit());

    frmVantrel w;
    QTRY_VERIFY(w.MSComm1->PortOpen());
    pty->write("AAAAAA");
    QTRY_COMPARE(w.receptionText(), QStringLiteral("AAAAAA\r\n"));

    // Three bytes, fewer than N, then the adapter is pulled: they still show.
    pty->write("XYZ");
    QTRY_COMPARE(w.MSComm1->InBufferCount(), 3);
    pty->unplug();
    pty.reset();
    QTRY_VERIFY(!w.MSComm1->PortOpen());
    QTRY_COMPARE(w.receptionText(), QStringLiteral("AAAAAA\r\nXYZ\r\n"));
    const QString gone = w.statusText();
    QVERIFY2(gone.contains(QStringLiteral("COM1 : appareil déconnecté (%1)").arg(link)), qPrintable(gone));

    // Away for a few ticks: the message stays as it was.
    QTest::qWait(1200);
    QCOMPARE(w.statusText(), gone);

    // Plugged back at the same path: the tool resumes on its own.
    pty = std::make_unique<PtyDevice>();
    QFile::remove(link);
    QVERIFY(QFile::link(pty->path(), link));
    QTRY_VERIFY_WITH_TIMEOUT(w.MSComm1->PortOpen(), 3000);
    QVERIFY(w.statusText().contains(QStringLiteral("appareil reconnecté")));
    pty->write("BBBBBB");
    QTRY_COMPARE(w.receptionText(), QStringLiteral("AAAAAA\r\nXYZ\r\nBBBBBB\r\n"));
}

QTEST_MAIN(tst_Reception)
#include "tst_reception.moc"
