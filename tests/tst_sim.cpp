#include "PtyDevice.h"
#include "RawPty.h"
#include "ScannerProtocol.h"
#include "SimOptions.h"
#include "SimProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Opens the simulator's side as the tool does and sends it bytes.
struct Line {
    int fd = -1;
    explicit Line(const QString &path)
    {
        fd = openRawSlave(path.toStdString());
    }
    ~Line() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void send(const QByteArray &b) { QVERIFY(::write(fd, b.constData(), size_t(b.size())) == b.size()); }
    // Reads for ms milliseconds, or until n bytes.
    QByteArray read(int ms, qsizetype n = 1 << 20)
    {
        QByteArray got;
        const qint64 end = PtyDevice::nowMs() + ms;
        while (got.size() < n) {
            const qint64 left = end - PtyDevice::nowMs();
            if (left <= 0)
                break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, int(left)) > 0) {
                char buf[4096];
                const ssize_t k = ::read(fd, buf, sizeof buf);
                if (k > 0)
                    got.append(buf, k);
            }
        }
        return got;
    }
};

} // namespace

class tst_Sim : public QObject
{
    Q_OBJECT
private slots:
    void options_data();
    void options();
    void protocol_data();
    void protocol();
    void garbageScan();
    void wrongCheckShare();
    void settingTurnsAimOn();
    void badOptionsExit2_data();
    void badOptionsExit2();
    void answers_data();
    void answers();
    void triggerOffDropsPendingScan();
    void continuousAndPaced();
    void linkAndSignals();
    void onceEndsOnHangup();
    void linkOwnership_data();
    void linkOwnership();
    void linkAfterKill();
    void codesFileRefused_data();
    void codesFileRefused();
    void continuousSplitKeepsPace();
};

void tst_Sim::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("every");
    QTest::addColumn<QStringList>("codes");

    const QStringList defaults = {"4006381333931", "3017620422003", "5449000000996", "7622210449283"};
    QTest::newRow("nothing") << QStringList() << true << 0.0 << defaults;
    QTest::newRow("every 0.5") << QStringList{"--every", "0.5"} << true << 0.5 << defaults;
    QTest::newRow("codes list") << QStringList{"--codes", "ABCDEF,1234567"} << true << 0.0
                                << QStringList{"ABCDEF", "1234567"};
    QTest::newRow("every 0") << QStringList{"--every", "0"} << false << 0.0 << QStringList();
    QTest::newRow("every 1 ms, the floor") << QStringList{"--every", "0.001"} << true << 0.001 << defaults;
    QTest::newRow("every 1e-10, below it") << QStringList{"--every", "1e-10"} << false << 0.0 << QStringList();
    QTest::newRow("every 1e-6, below it") << QStringList{"--every", "1e-6"} << false << 0.0 << QStringList();
    QTest::newRow("codes from a file that is not there") << QStringList{"--codes", "/nonexistent/codes.txt"} << false
                                                         << 0.0 << QStringList();
    QTest::newRow("codes.txt that is not there") << QStringList{"--codes", "codes-absents.txt"} << false << 0.0
                                                 << QStringList();
    QTest::newRow("every abc") << QStringList{"--every", "abc"} << false << 0.0 << QStringList();
    QTest::newRow("every missing") << QStringList{"--every"} << false << 0.0 << QStringList();
    QTest::newRow("short code") << QStringList{"--codes", "ABCDEF,123"} << false << 0.0 << QStringList();
    QTest::newRow("empty codes") << QStringList{"--codes", ","} << false << 0.0 << QStringList();
    QTest::newRow("unknown") << QStringList{"--fast"} << false << 0.0 << QStringList();
    QTest::newRow("link missing") << QStringList{"--link"} << false << 0.0 << QStringList();
    QTest::newRow("wrong check 0.25") << QStringList{"--wrong-check", "0.25"} << true << 0.0 << defaults;
    QTest::newRow("wrong check above 1") << QStringList{"--wrong-check", "1.5"} << false << 0.0 << QStringList();
    QTest::newRow("wrong check missing") << QStringList{"--wrong-check"} << false << 0.0 << QStringList();
    QTest::newRow("aim, no terminator") << QStringList{"--aim", "--no-terminator"} << true << 0.0 << defaults;
    QTest::newRow("no read 0.1, delay 40") << QStringList{"--no-read", "0.1", "--delay", "40"} << true << 0.0 << defaults;
    QTest::newRow("delay 20-80") << QStringList{"--delay", "20-80"} << true << 0.0 << defaults;
    QTest::newRow("delay 80-20") << QStringList{"--delay", "80-20"} << false << 0.0 << QStringList();
    QTest::newRow("delay -5") << QStringList{"--delay", "-5"} << false << 0.0 << QStringList();
    QTest::newRow("delay 20-") << QStringList{"--delay", "20-"} << false << 0.0 << QStringList();
    QTest::newRow("no read 2") << QStringList{"--no-read", "2"} << false << 0.0 << QStringList();
}

void tst_Sim::options()
{
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    QFETCH(double, every);
    QFETCH(QStringList, codes);
    std::vector<std::string> a;
    for (const QString &s : args)
        a.push_back(s.toStdString());
    const SimParse p = parseSimOptions(a);
    QCOMPARE(p.options.has_value(), valid);
    if (!valid) {
        QVERIFY(!p.error.empty());
        return;
    }
    QCOMPARE(p.options->everySeconds, every);
    QStringList got;
    for (const auto &c : p.options->codes)
        got << QString::fromStdString(c);
    QCOMPARE(got, codes);
}

void tst_Sim::protocol_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QStringList>("commands");

    using L = QList<QByteArray>;
    QTest::newRow("trigger on") << L{"\x1bS7\r"} << QStringList{"TriggerOn:1B 53 37 0D"};
    QTest::newRow("trigger in pieces") << L{"\x1b", "S", "7\r"} << QStringList{"TriggerOn:1B 53 37 0D"};
    QTest::newRow("on then off") << L{"\x1bS7\r\x1bS8\r"}
                                 << QStringList{"TriggerOn:1B 53 37 0D", "TriggerOff:1B 53 38 0D"};
    QTest::newRow("fixed command") << L{"48200000000050\r\n"}
                                   << QStringList{"FixedCommand:34 38 32 30 30 30 30 30 30 30 30 30 35 30 0D 0A"};
    QTest::newRow("noise before a command") << L{"zz\x1bS8\r"}
                                            << QStringList{"Unknown:7A 7A", "TriggerOff:1B 53 38 0D"};
    QTest::newRow("ESC text CR: a setting") << L{"\x1bS9\r"} << QStringList{"Setting:1B 53 39 0D"};
    QTest::newRow("a setting in pieces") << L{"\x1b", "A", "1\r"} << QStringList{"Setting:1B 41 31 0D"};
    QTest::newRow("ESC with a control byte: no setting") << L{"\x1b" "A\x02\r"}
                                                         << QStringList{"Unknown:1B 41 02 0D"};
    QTest::newRow("ESC without CR") << L{"\x1b" "AB"} << QStringList{"Unknown:1B 41 42"};
    QTest::newRow("4 that begins no command") << L{"4x"} << QStringList{"Unknown:34 78"};
}

void tst_Sim::protocol()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QStringList, commands);
    static const char *names[] = {"TriggerOn", "TriggerOff", "FixedCommand", "Unknown", "Setting"};
    ScannerProtocol p;
    QStringList got;
    auto take = [&](const std::vector<ScannerProtocol::Command> &cs) {
        for (const auto &c : cs)
            got << QStringLiteral("%1:%2").arg(QLatin1String(names[int(c.kind)]),
                                               QString::fromStdString(ScannerProtocol::hex(c.bytes)));
    };
    for (const QByteArray &piece : pieces)
        take(p.feed(piece.toStdString()));
    take(p.flush());
    QCOMPARE(got, commands);
}

void tst_Sim::garbageScan()
{
    const std::string s = ScannerProtocol::scan("4006381333931", true);
    QCOMPARE(QByteArray::fromStdString(s), QByteArray("\x02" "400638\x00\x1b" "1333931\xe9\xff\x7f\x85\r", 21));
    QCOMPARE(ScannerProtocol::scan("ABCDEF", false), std::string("ABCDEF\r"));
}

// --wrong-check 0.5: every other scan has a wrong last digit.
void tst_Sim::wrongCheckShare()
{
    SimProcess sim;
    QVERIFY(sim.start({"--every", "0.02", "--wrong-check", "0.5", "--codes", "96385074"}));
    Line line(sim.path());
    QVERIFY(line.fd >= 0);
    const QByteArray got = line.read(5000, 8 * 9);
    QCOMPARE(sim.stop(), 0);
    const QList<QByteArray> scans = got.split('\r');
    QCOMPARE(scans.size(), 9);
    for (qsizetype i = 0; i < 8; ++i) {
        QVERIFY2(scans[i] == "96385074" || scans[i] == "96385075", scans[i].constData());
        if (i > 0)
            QVERIFY2(scans[i] != scans[i - 1], got.constData());
    }
}

// ESC "A1" CR puts the identifiers in front of the codes that follow, ESC
// "A0" CR takes them away.
void tst_Sim::settingTurnsAimOn()
{
    SimProcess sim;
    QVERIFY(sim.start({"--codes", "96385074"}));
    Line line(sim.path());
    QVERIFY(line.fd >= 0);
    QTest::qWait(60);
    line.send("\x1b" "A1\r\x1bS7\r");
    QCOMPARE(line.read(2000, 14), QByteArray("\x06]E496385074\r"));
    line.send("\x1b" "A0\r\x1bS7\r");
    QCOMPARE(line.read(2000, 10), QByteArray("\x06" "96385074\r"));
    QCOMPARE(sim.stop(), 0);
}

void tst_Sim::badOptionsExit2_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--nope"};
    QTest::newRow("bad interval") << QStringList{"--every", "-1"};
    QTest::newRow("short code") << QStringList{"--codes", "12345"};
}

void tst_Sim::badOptionsExit2()
{
    QFETCH(QStringList, args);
    QProcess p;
    p.start(SimProcess::program(), args);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("Usage : vantrel-sim")), qPrintable(err));
    QVERIFY(p.readAllStandardOutput().isEmpty());
}

void tst_Sim::answers_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer");

    QTest::newRow("trigger: one scan") << QStringList{"--codes", "ABCDEF1"} << QByteArray("\x1bS7\r")
                                       << QByteArray("ABCDEF1\r");
    QTest::newRow("fixed command: a reply") << QStringList() << QByteArray("48200000000050\r\n")
                                            << QByteArray("ACK48200000\r\n");
    QTest::newRow("silent") << QStringList{"--silent"} << QByteArray("\x1bS7\r") << QByteArray();
    QTest::newRow("split: both pieces") << QStringList{"--split", "--codes", "ABCDEF1"} << QByteArray("\x1bS7\r")
                                        << QByteArray("ABCDEF1\r");
    QTest::newRow("aim: EAN-13") << QStringList{"--aim", "--codes", "4006381333931"} << QByteArray("\x1bS7\r")
                                 << QByteArray("]E04006381333931\r");
    QTest::newRow("aim: EAN-8") << QStringList{"--aim", "--codes", "96385074"} << QByteArray("\x1bS7\r")
                                << QByteArray("]E496385074\r");
    QTest::newRow("aim: ITF-14") << QStringList{"--aim", "--codes", "15400141288763"} << QByteArray("\x1bS7\r")
                                 << QByteArray("]I115400141288763\r");
    QTest::newRow("aim: anything else") << QStringList{"--aim", "--codes", "ABCDEF1"} << QByteArray("\x1bS7\r")
                                        << QByteArray("]C0ABCDEF1\r");
    QTest::newRow("wrong check on every scan") << QStringList{"--wrong-check", "1", "--aim", "--codes", "96385079"}
                                               << QByteArray("\x1bS7\r") << QByteArray("]E496385070\r");
    QTest::newRow("wrong check on none") << QStringList{"--wrong-check", "0", "--codes", "96385074"}
                                         << QByteArray("\x1bS7\r") << QByteArray("96385074\r");
    QTest::newRow("a known setting: ACK") << QStringList() << QByteArray("\x1b" "B1\r") << QByteArray("\x06");
    QTest::newRow("an unknown setting: NAK") << QStringList() << QByteArray("\x1b" "Z9\r") << QByteArray("\x15");
    QTest::newRow("AIM on: ACK") << QStringList() << QByteArray("\x1b" "A1\r") << QByteArray("\x06");
    QTest::newRow("no read on every trigger") << QStringList{"--no-read", "1", "--codes", "96385074"}
                                              << QByteArray("\x1bS7\r") << QByteArray();
    QTest::newRow("no terminator") << QStringList{"--no-terminator", "--codes", "ABCDEF1"}
                                   << QByteArray("\x1bS7\r") << QByteArray("ABCDEF1");
}

void tst_Sim::answers()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);
    SimProcess sim;
    QVERIFY(sim.start(options));
    Line line(sim.path());
    QVERIFY(line.fd >= 0);
    QTest::qWait(60); // the simulator looks for its other side every 20 ms
    line.send(command);
    QCOMPARE(line.read(answer.isEmpty() ? 400 : 2000, answer.size()), answer);
    QCOMPARE(sim.stop(), 0);
    QVERIFY2(sim.log().contains(QStringLiteral("reçu   : %1").arg(QString::fromLatin1(command.toHex(' ').toUpper()))),
             qPrintable(sim.log()));
    QCOMPARE(sim.sent(), answer);
}

void tst_Sim::triggerOffDropsPendingScan()
{
    SimProcess sim;
    QVERIFY(sim.start({"--codes", "ABCDEF1"}));
    Line line(sim.path());
    QTest::qWait(60);
    line.send("\x1bS7\r\x1bS8\r"); // released before the scan was decoded
    QCOMPARE(line.read(300), QByteArray());
    QCOMPARE(sim.stop(), 0);
}

void tst_Sim::continuousAndPaced()
{
    SimProcess sim;
    QVERIFY(sim.start({"--every", "0.2", "--pace", "--codes", "ABCDEFGHIJ"}));
    Line line(sim.path());
    const qint64 t0 = PtyDevice::nowMs();
    const QByteArray got = line.read(5000, 33);
    const qint64 took = PtyDevice::nowMs() - t0;
    QCOMPARE(got, QByteArray("ABCDEFGHIJ\rABCDEFGHIJ\rABCDEFGHIJ\r"));
    QVERIFY2(took >= 400, qPrintable(QString::number(took))); // three scans, 200 ms apart
    QCOMPARE(sim.stop(), 0);
}

void tst_Sim::linkAndSignals()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scanner"));
    SimProcess sim;
    QVERIFY(sim.start({"--link", link}));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path());
    QCOMPARE(sim.stop(), 0); // SIGTERM: a clean end
    QVERIFY(!QFileInfo(link).isSymLink());

    // A stale link of an earlier run is replaced; SIGINT and SIGHUP end it
    // as SIGTERM does.
    for (int signal : {SIGINT, SIGHUP}) {
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/999999"), link));
        SimProcess again;
        QVERIFY(again.start({"--link", link}));
        QCOMPARE(QFileInfo(link).symLinkTarget(), again.path());
        ::kill(pid_t(again.process().processId()), signal);
        QVERIFY(again.process().waitForFinished(5000));
        QCOMPARE(again.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(again.process().exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
}

void tst_Sim::linkOwnership_data()
{
    QTest::addColumn<QString>("before");  // what is at the link's path before
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("during"); // put there while it runs
    QTest::addColumn<QString>("after");  // what is there once it has ended

    QTest::newRow("nothing") << "" << true << "" << "";
    QTest::newRow("a stale link to a closed pseudo-terminal") << "stale" << true << "" << "";
    QTest::newRow("a plain file") << "file" << false << "" << "file";
    QTest::newRow("a folder") << "folder" << false << "" << "folder";
    QTest::newRow("a link of the user's") << "userlink" << false << "" << "userlink";
    QTest::newRow("a live simulator's link") << "live" << false << "" << "live";
    QTest::newRow("replaced by a file meanwhile") << "" << true << "file" << "file";
    QTest::newRow("replaced by another link meanwhile") << "" << true << "userlink" << "userlink";
}

// What is on disk at the link's path, before and after: the simulator takes
// only what is free or stale, and removes only its own link.
void tst_Sim::linkOwnership()
{
    QFETCH(QString, before);
    QFETCH(bool, starts);
    QFETCH(QString, during);
    QFETCH(QString, after);

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scanner"));
    SimProcess other; // a live simulator elsewhere
    auto put = [&](const QString &what) {
        QFile::remove(link);
        if (what == u"stale")
            QVERIFY(QFile::link(QStringLiteral("/dev/pts/999999"), link));
        else if (what == u"file") {
            QFile f(link);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("mes codes\n");
        } else if (what == u"folder")
            QVERIFY(QDir().mkdir(link));
        else if (what == u"userlink")
            QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), link));
        else if (what == u"live") {
            QVERIFY(other.start({}));
            QVERIFY(QFile::link(other.path(), link));
        }
    };
    auto what = [&]() -> QString {
        const QFileInfo info(link);
        if (info.isSymLink())
            return info.symLinkTarget() == QStringLiteral("/etc/passwd") ? QStringLiteral("userlink")
                : other.path().size() && info.symLinkTarget() == other.path() ? QStringLiteral("live")
                                                                              : QStringLiteral("link");
        if (info.isDir())
            return QStringLiteral("folder");
        if (info.exists())
            return QStringLiteral("file");
        return QString();
    };

    put(before);
    SimProcess sim;
    QCOMPARE(sim.start({"--link", link}, 3000), starts);
    if (starts) {
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path());
        if (!during.isEmpty())
            put(during);
        QCOMPARE(sim.stop(), 0);
    } else {
        QVERIFY(sim.process().state() == QProcess::NotRunning || sim.process().waitForFinished(3000));
        QCOMPARE(sim.process().exitCode(), 1);
        QVERIFY2(sim.log().contains(QStringLiteral("lien ")), qPrintable(sim.log()));
    }
    QCOMPARE(what(), after);
    if (other.process().state() != QProcess::NotRunning)
        QCOMPARE(other.stop(), 0);
}

// A simulator killed outright (SIGKILL) leaves its link; the next one takes
// it over, also when it gets the same pseudo-terminal number.
void tst_Sim::linkAfterKill()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scanner"));
    SimProcess first;
    QVERIFY(first.start({"--link", link}));
    const QString firstPath = first.path();
    ::kill(pid_t(first.process().processId()), SIGKILL);
    QVERIFY(first.process().waitForFinished(5000));
    QCOMPARE(QFileInfo(link).symLinkTarget(), firstPath); // left behind

    SimProcess second;
    QVERIFY2(second.start({"--link", link}), qPrintable(second.log()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), second.path());
    QCOMPARE(second.stop(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

// --codes takes a regular file of at most 16 MiB: anything else is refused
// at once, never read without end nor waited on.
void tst_Sim::codesFileRefused_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("says");
    QTest::newRow("a device") << "/dev/zero" << "--codes : « /dev/zero » n'est pas un fichier ordinaire";
    QTest::newRow("a FIFO") << "fifo" << "n'est pas un fichier ordinaire";
    QTest::newRow("a folder") << "folder" << "n'est pas un fichier ordinaire";
    QTest::newRow("17 MiB") << "big" << "dépasse 16 Mio";
}

void tst_Sim::codesFileRefused()
{
    QFETCH(QString, target);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QString path = target;
    if (target == u"fifo") {
        path = dir.filePath(QStringLiteral("codes"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else if (target == u"folder") {
        path = dir.path();
    } else if (target == u"big") {
        path = dir.filePath(QStringLiteral("codes.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(17 << 20));
    }
    QProcess p;
    p.start(SimProcess::program(), {QStringLiteral("--codes"), path});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(says), qPrintable(err));
}

// --every 0.01 --split: a scan every 10 ms, each in two halves, and the
// schedule never runs behind (it used to take 200 ms a scan, queuing ever
// more).
void tst_Sim::continuousSplitKeepsPace()
{
    SimProcess sim;
    QVERIFY(sim.start({"--every", "0.01", "--split", "--codes", "ABCDEFGHIJ"}));
    Line line(sim.path());
    const QByteArray got = line.read(1000);
    const qsizetype scans = got.count("ABCDEFGHIJ\r");
    QVERIFY2(scans >= 40, qPrintable(QString::number(scans))); // 100 due; 5 before
    QVERIFY(got.startsWith("ABCDEFGHIJ\r"));
    QCOMPARE(sim.stop(), 0);
}

void tst_Sim::onceEndsOnHangup()
{
    SimProcess sim;
    QVERIFY(sim.start({"--once"}));
    {
        Line line(sim.path());
        QTest::qWait(100);
    }
    QVERIFY(sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(sim.log().contains(QStringLiteral("raccroché")));
}

QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
