#include "BenchWindow.h"
#include "ConsoleEscapes.h"
#include "ConsoleLine.h"
#include "PtyDevice.h"
#include "ReadRateFigures.h"
#include "ScanTable.h"
#include "SettingsStore.h"
#include "SimProcess.h"
#include "frmVantrel.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QSettings>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString cell(const QAbstractItemModel &m, int row, int column)
{
    return m.data(m.index(row, column)).toString();
}

// The window on COM1 = `path`, its bench open; the port open.
struct Bench {
    explicit Bench(const QString &path)
    {
        qputenv("VANTREL_COM1", path.toLocal8Bit());
        w.showBench();
        w.openPort();
    }
    frmVantrel w;
    BenchWindow &bench() { return *w.bench(); }
};

} // namespace

class tst_ReadRate : public QObject
{
    Q_OBJECT
private slots:
    void init() { QFile::remove(SettingsStore::userFileName()); }
    void escapes_data();
    void escapes();
    void shownAsSent_data();
    void shownAsSent();
    void figures_data();
    void figures();
    void testOnTheSimulator();
    void longScanWaitedForItsEnd();
    void stoppedTestReleasesTheTrigger_data();
    void stoppedTestReleasesTheTrigger();
    void closedPortRefused();
    void consoleReplies();
    void history();
    void longPaste_data();
    void longPaste();
};

void tst_ReadRate::escapes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes"); // empty: refused
    QTest::addColumn<QString>("why");

    QTest::newRow("trigger by names") << "<ESC>S7<CR>" << QByteArray("\x1bS7\r") << "";
    QTest::newRow("names in lower case") << "<esc>S8<cr>" << QByteArray("\x1bS8\r") << "";
    QTest::newRow("\\x and \\r \\n") << "\\x1BA1\\r\\n" << QByteArray("\x1b" "A1\r\n") << "";
    QTest::newRow("GS between AIs") << "01<GS>10" << QByteArray("01\x1d" "10") << "";
    QTest::newRow("DEL and NUL") << "<DEL><NUL>" << QByteArray("\x7f\0", 2) << "";
    QTest::newRow("a < that begins no name") << "a<b>c<" << QByteArray("a<b>c<") << "";
    QTest::newRow("backslash") << "C:\\\\x" << QByteArray("C:\\x") << "";
    QTest::newRow("Latin-1") << "é" << QByteArray("\xe9") << "";
    QTest::newRow("\\x with one digit") << "\\x1" << QByteArray()
                                        << "« \\x » attend deux chiffres hexadécimaux (\\x1B).";
    QTest::newRow("unknown escape") << "\\q" << QByteArray()
                                    << "« \\q » n'est pas un échappement connu : écrivez \\\\ pour une barre oblique inverse.";
    QTest::newRow("beyond Latin-1") << "€" << QByteArray() << "« € » ne tient pas dans un octet : écrivez son octet en \\xNN.";
    QTest::newRow("<TAB> as well as <HT>") << "<TAB>a<tab><HT>" << QByteArray("\ta\t\t") << "";
    QTest::newRow("<LF> <CR> <ESC>") << "<ESC><CR><LF>" << QByteArray("\x1b\r\n") << "";
    QTest::newRow("the longest command") << QString(16384, u'x') << QByteArray(16384, 'x') << "";
    QTest::newRow("the longest, every byte escaped") << QStringLiteral("\\x41").repeated(16384) << QByteArray(16384, 'A')
                                                     << "";
    QTest::newRow("a byte too long") << QString(16385, u'x') << QByteArray()
                                     << QStringLiteral("commande trop longue : 16\u202F385 octets, au plus 16\u202F384 "
                                                       "(la longueur du plus long scan).");
}

void tst_ReadRate::escapes()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    QString got;
    const std::optional<QByteArray> b = ConsoleEscapes::bytesOf(typed, &got);
    QCOMPARE(b.has_value(), why.isEmpty());
    QCOMPARE(got, why);
    if (b)
        QCOMPARE(*b, bytes);
}

void tst_ReadRate::shownAsSent_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("trigger") << QByteArray("\x1bS7\r") << "<ESC>S7<CR>";
    QTest::newRow("ACK, NAK") << QByteArray("\x06\x15") << "<ACK><NAK>";
    QTest::newRow("high bytes, DEL") << QByteArray("\xe9\x7f") << "\\xE9<DEL>";
    QTest::newRow("a backslash") << QByteArray("a\\b") << "a\\\\b";
    QTest::newRow("a < that reads as a name") << QByteArray("<CR>x<y>") << "\\x3CCR>x<y>";
    QTest::newRow("a < that reads as <TAB>") << QByteArray("<TAB>") << "\\x3CTAB>";
}

void tst_ReadRate::shownAsSent()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(ConsoleEscapes::shown(bytes), shown);
    QString why;
    QCOMPARE(ConsoleEscapes::bytesOf(shown, &why), std::optional<QByteArray>(bytes)); // typed again, the same bytes
}

void tst_ReadRate::figures_data()
{
    QTest::addColumn<QList<qint64>>("times");
    QTest::addColumn<int>("noReads");
    QTest::addColumn<QString>("reads");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QList<int>>("bins");

    QTest::newRow("four reads") << QList<qint64>{40, 30, 120, 75} << 1
                                << "4 bonnes lectures sur 5 (80,0 %), 1 sans lecture"
                                << "p50 40 ms, p95 120 ms, max 120 ms" << QList<int>{3, 0, 1, 0, 0, 0, 0, 0};
    QTest::newRow("every bin") << QList<qint64>{0, 76, 110, 111, 171, 300, 301, 601, 1000, 1001, 1500, 1501, 4000}
                               << 0 << "13 bonnes lectures sur 13 (100,0 %), 0 sans lecture"
                               << QStringLiteral("p50 301 ms, p95 4\u202F000 ms, max 4\u202F000 ms") << QList<int>{1, 2, 1, 2, 1, 2, 2, 2};
    QTest::newRow("twenty: p95 is the 19th") << QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                                                              18, 19, 20}
                                             << 0 << "20 bonnes lectures sur 20 (100,0 %), 0 sans lecture"
                                             << "p50 10 ms, p95 19 ms, max 20 ms" << QList<int>{20, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("no read at all") << QList<qint64>{} << 3 << "0 bonne lecture sur 3 (0,0 %), 3 sans lecture"
                                    << "aucun temps mesuré" << QList<int>{0, 0, 0, 0, 0, 0, 0, 0};
}

void tst_ReadRate::figures()
{
    QFETCH(QList<qint64>, times);
    QFETCH(int, noReads);
    QFETCH(QString, reads);
    QFETCH(QString, summary);
    QFETCH(QList<int>, bins);
    ReadRateFigures f;
    f.timesMs = times;
    f.noReads = noReads;
    f.triggers = int(times.size()) + noReads;
    QCOMPARE(f.readsText(), reads);
    QCOMPARE(f.timesText(), summary);
    QCOMPARE(f.histogram(), bins);
}

// Six triggers on the simulator, every other one unanswered, 20 ms from
// trigger to data: three good reads timed within the wait, three no-reads,
// and the line carries six triggers each followed by its end. (The time
// runs from the trigger's stamp, taken once it is written: on a busy
// machine that stamp may come late, so no lower bound but zero holds.)
void tst_ReadRate::testOnTheSimulator()
{
    SimProcess sim;
    QVERIFY(sim.start({"--no-read", "0.5", "--delay", "20", "--codes", "96385074"}));
    Bench b(sim.path());
    QVERIFY(b.w.MSComm1->PortOpen());
    QSignalSpy done(&b.bench().readRateTest(), &ReadRateTest::finished);
    QCOMPARE(b.bench().startReadRate(6, 300, 10), QString());
    QVERIFY(done.wait(10000));
    const ReadRateFigures &f = b.bench().readRateTest().figures();
    QCOMPARE(f.triggers, 6);
    QCOMPARE(f.noReads, 3);
    QCOMPARE(f.goodReads(), 3);
    QVERIFY(!f.stopped);
    for (qint64 t : f.timesMs)
        QVERIFY2(t >= 0 && t < 300, qPrintable(QString::number(t)));
    QCOMPARE(done.first().at(1).toString(), QString());
    QTest::qWait(100);
    QCOMPARE(sim.stop(), 0);
    const QString log = sim.log();
    QCOMPARE(log.count(QStringLiteral("reçu   : 1B 53 37 0D")), 6);
    QCOMPARE(log.count(QStringLiteral("reçu   : 1B 53 38 0D")), 6);
    // The scans are rows, each no-read too, in the order they came; the
    // test's scans are the test's, not duplicates of the session. The box
    // shows the scans as the tool always has.
    const ScanTable &t = b.bench().table();
    QCOMPARE(t.rowCount(), 6);
    QStringList marks;
    for (int r = 0; r < t.rowCount(); ++r) {
        marks << cell(t, r, ScanTable::Mark);
        QCOMPARE(cell(t, r, ScanTable::Data), marks.last() == QStringLiteral("sans lecture") ? QString()
                                                                                            : QStringLiteral("96385074"));
    }
    QCOMPARE(marks.count(QStringLiteral("sans lecture")), 3);
    QCOMPARE(marks.count(QStringLiteral("test de lecture")), 3);
    QVERIFY(b.w.receptionText().contains(QStringLiteral("96385074␍")));
    QVERIFY(b.bench().readRateText().startsWith(
        QStringLiteral("Test de lecture (6 gâchettes, attente 300 ms, pause 10 ms) : "
                       "3 bonnes lectures sur 6 (50,0 %), 3 sans lecture\nGâchette → données : p50 ")));

    // The report carries the figures and the histogram.
    QTemporaryDir dir;
    QCOMPARE(b.bench().saveReport(dir.filePath(QStringLiteral("r.csv"))), QString());
    QFile summary(dir.filePath(QStringLiteral("r.txt")));
    QVERIFY(summary.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(summary.readAll());
    QVERIFY2(text.contains(QStringLiteral("\nTest de lecture\nRéglage : 6 gâchettes, attente 300 ms, pause 10 ms\n"
                                          "Lectures : 3 bonnes lectures sur 6 (50,0 %), 3 sans lecture\n")),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\n≤75 ms         3  ████████████████████\n≤110 ms        0  \n")));
}

// A 2D code of 2,000 bytes at 9600 baud takes about 2.1 s to arrive: its
// first byte comes 20 ms after the trigger, well within a wait of 200 ms, so
// it is a good read, timed at its first byte, though it ends long after.
void tst_ReadRate::longScanWaitedForItsEnd()
{
    const QString code(2000, u'7');
    SimProcess sim;
    QVERIFY(sim.start({"--pace", "--delay", "20", "--codes", code}));
    Bench b(sim.path());
    QVERIFY(b.w.MSComm1->PortOpen());
    QSignalSpy done(&b.bench().readRateTest(), &ReadRateTest::finished);
    QCOMPARE(b.bench().startReadRate(2, 200, 10), QString());
    QVERIFY(done.wait(20000));
    const ReadRateFigures &f = b.bench().readRateTest().figures();
    QCOMPARE(f.triggers, 2);
    QCOMPARE(f.noReads, 0);
    for (qint64 t : f.timesMs)
        QVERIFY2(t >= 0 && t < 200, qPrintable(QString::number(t)));
    const ScanTable &t = b.bench().table();
    QCOMPARE(t.rowCount(), 2);
    QCOMPARE(cell(t, 0, ScanTable::Length), QStringLiteral("2\u202F000"));
    QCOMPARE(sim.stop(), 0);
}

// Stopped while a trigger waits, by its button, by "Eteindre" or by closing
// the bench: the line carries the trigger's end, and the trigger is left out
// of the figures.
void tst_ReadRate::stoppedTestReleasesTheTrigger_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("stillOpen");
    QTest::newRow("its button") << "button" << true;
    QTest::newRow("Eteindre") << "Eteindre" << false;
    QTest::newRow("the bench closed") << "close" << true;
}

void tst_ReadRate::stoppedTestReleasesTheTrigger()
{
    QFETCH(QString, how);
    QFETCH(bool, stillOpen);
    PtyDevice device; // never answers
    Bench b(device.path());
    QSignalSpy done(&b.bench().readRateTest(), &ReadRateTest::finished);
    QCOMPARE(b.bench().startReadRate(100, 5000, 0), QString());
    QVERIFY(device.waitForReceived(4, 2000));
    auto *button = b.bench().findChild<QPushButton *>(QStringLiteral("runTest"));
    QCOMPARE(button->text(), QStringLiteral("Arrêter le &test"));
    if (how == QLatin1String("button"))
        button->click();
    else if (how == QLatin1String("Eteindre"))
        b.w.Command2_Click();
    else
        b.bench().close();
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.first().at(1).toString(), QStringLiteral("arrêté"));
    QVERIFY(device.waitForReceived(8, 2000));
    QTest::qWait(100);
    QCOMPARE(device.received(), QByteArray("\x1bS7\r\x1bS8\r"));
    QCOMPARE(b.bench().readRateTest().figures().triggers, 0);
    QVERIFY(b.bench().readRateTest().figures().stopped);
    QCOMPARE(button->text(), QStringLiteral("&Test de lecture"));
    QCOMPARE(b.bench().findChild<QLabel *>(QStringLiteral("message"))->text(),
             QStringLiteral("Test de lecture arrêté après 0 gâchette."));
    QCOMPARE(b.w.MSComm1->PortOpen(), stillOpen); // the test never closes the port
}

void tst_ReadRate::closedPortRefused()
{
    PtyDevice device;
    Bench b(device.path());
    b.w.Command2_Click(); // "Eteindre"
    QVERIFY(!b.w.MSComm1->PortOpen());
    const QString why = QStringLiteral("le port est fermé : le test envoie ses gâchettes sur le port ouvert. "
                                       "Cliquez sur « Allumer » ou attendez que le minuteur le rouvre, puis relancez.");
    QCOMPARE(b.bench().startReadRate(10, 100, 0), why);
    QCOMPARE(b.bench().findChild<QLabel *>(QStringLiteral("message"))->text(),
             QStringLiteral("Test de lecture non lancé : ") + why);
    QCOMPARE(b.bench().sendCommand(QStringLiteral("<ESC>B1<CR>")),
             QStringLiteral("le port est fermé : cliquez sur « Allumer » ou attendez que le minuteur le rouvre."));
    QTest::qWait(50);
    QCOMPARE(device.received(), QByteArray());
}

// Commands typed with escapes go out as bytes; ACK and NAK come back as
// rows marked "réponse", outside the scan counters.
void tst_ReadRate::consoleReplies()
{
    SimProcess sim;
    QVERIFY(sim.start({"--codes", "96385074"}));
    Bench b(sim.path());
    QTest::qWait(60); // the simulator looks for its other side every 20 ms
    // Two commands, one after the other, before any take: each gets its reply.
    QCOMPARE(b.bench().sendCommand(QStringLiteral("<ESC>B1<CR>")), QString());
    QCOMPARE(b.bench().sendCommand(QStringLiteral("\\x1BZ9\\r")), QString());
    QTRY_COMPARE(b.bench().table().rowCount(), 2);
    const ScanTable &t = b.bench().table();
    QCOMPARE(cell(t, 0, ScanTable::Mark), QStringLiteral("réponse"));
    QCOMPARE(cell(t, 0, ScanTable::Kind), QStringLiteral("ACK"));
    QCOMPARE(cell(t, 0, ScanTable::Hex), QStringLiteral("06"));
    QCOMPARE(cell(t, 1, ScanTable::Kind), QStringLiteral("NAK"));
    QCOMPARE(b.bench().tally().scans(), 0);
    QCOMPARE(b.bench().exchanges().size(), 2);
    QCOMPARE(b.bench().exchanges()[0].replies, QList<QByteArray>{"\x06"});
    QCOMPARE(b.bench().exchanges()[1].sent, QByteArray("\x1bZ9\r"));
    QCOMPARE(b.bench().exchanges()[1].replies, QList<QByteArray>{"\x15"});
    const QStringList lines = b.bench().findChild<QPlainTextEdit *>(QStringLiteral("exchanges"))->toPlainText().split(u'\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].endsWith(QStringLiteral(" → <ESC>B1<CR>")), qPrintable(lines[0]));
    QVERIFY2(lines[1].endsWith(QStringLiteral(" → <ESC>Z9<CR>")), qPrintable(lines[1]));
    QVERIFY2(lines[2].endsWith(QStringLiteral(" ← <ACK>   (ACK : accepté)")), qPrintable(lines[2]));
    QVERIFY2(lines[3].endsWith(QStringLiteral(" ← <NAK>   (NAK : refusé)")), qPrintable(lines[3]));

    // A typing mistake sends nothing and says why.
    QCOMPARE(b.bench().sendCommand(QStringLiteral("\\q")),
             QStringLiteral("« \\q » n'est pas un échappement connu : écrivez \\\\ pour une barre oblique inverse."));
    QTest::qWait(100);
    QCOMPARE(sim.stop(), 0);
    QCOMPARE(sim.log().count(QStringLiteral("reçu   :")), 2);

    QTemporaryDir dir;
    QCOMPARE(b.bench().saveReport(dir.filePath(QStringLiteral("r.csv"))), QString());
    QFile summary(dir.filePath(QStringLiteral("r.txt")));
    QVERIFY(summary.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(summary.readAll());
    QVERIFY2(QRegularExpression(QStringLiteral("\nConsole\n\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  → <ESC>B1<CR>\n"
                                               "              ← <ACK>\n\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  → <ESC>Z9<CR>\n"
                                               "              ← <NAK>\n$"))
                 .match(text).hasMatch(), qPrintable(text));
}

// The last commands come back with the arrow keys, also in a new session.
void tst_ReadRate::history()
{
    PtyDevice device;
    {
        Bench b(device.path());
        // The last with spaces at both ends, a backslash and a line break.
        for (const char *c : {"<ESC>A1<CR>", "<ESC>B0<CR>", "<ESC>A1<CR>", "  <ESC>Z\\x41\n2  "})
            QCOMPARE(b.bench().sendCommand(QString::fromLatin1(c)), QString());
    }
    // Each command comes back as it was sent, in a key of its own.
    const QSettings kept(SettingsStore::userFileName(), QSettings::IniFormat);
    QCOMPARE(kept.value(QStringLiteral("Bench/history1")).toString(), QStringLiteral("  <ESC>Z\\x41\n2  "));
    QVERIFY(!kept.contains(QStringLiteral("Bench/history")));
    QVERIFY(!kept.contains(QStringLiteral("Bench/history4")));
    Bench b(device.path());
    auto *line = b.bench().findChild<ConsoleLine *>(QStringLiteral("console"));
    QCOMPARE(line->history(), QStringList({"  <ESC>Z\\x41\n2  ", "<ESC>A1<CR>", "<ESC>B0<CR>"}));
    line->setText(QStringLiteral("typed"));
    QTest::keyClick(line, Qt::Key_Up);
    QCOMPARE(line->text(), QStringLiteral("  <ESC>Z\\x41\n2  "));
    QTest::keyClick(line, Qt::Key_Up);
    QCOMPARE(line->text(), QStringLiteral("<ESC>A1<CR>"));
    QTest::keyClick(line, Qt::Key_Up);
    QCOMPARE(line->text(), QStringLiteral("<ESC>B0<CR>"));
    QTest::keyClick(line, Qt::Key_Up); // the oldest stays
    QCOMPARE(line->text(), QStringLiteral("<ESC>B0<CR>"));
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(line, Qt::Key_Down);
    QCOMPARE(line->text(), QStringLiteral("typed"));
    // Return sends it, and it goes first.
    line->setText(QStringLiteral("<ESC>B1<CR>"));
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(line->text(), QString());
    QCOMPARE(line->history().first(), QStringLiteral("<ESC>B1<CR>"));
    QVERIFY(device.waitForReceived(25, 5000)); // the first session's four commands, then this one
    QCOMPARE(device.received().right(4), QByteArray("\x1b" "B1\r"));
    for (int i = 0; i < 60; ++i)
        line->remember(QString::number(i));
    QCOMPARE(line->history().size(), ConsoleLine::MaxHistory);
    QCOMPARE(line->history().first(), QStringLiteral("59"));
}

// The console's line takes a command as long as the longest scan, every
// byte written \xNN; what would make it longer is refused whole, with a
// word, never cut (a cut could fall inside an escape).
void tst_ReadRate::longPaste_data()
{
    QTest::addColumn<QString>("before"); // on the line, the cursor at its end
    QTest::addColumn<int>("escapes");    // \x41 pasted, 4 characters each
    QTest::addColumn<QString>("said");   // empty: taken

    QTest::newRow("the longest command") << "" << 16384 << "";
    QTest::newRow("one character more") << "A" << 16384
                                         << "Texte refusé : 65\u202F537 caractères, plus que les 65\u202F536 d'une "
                                            "commande (16\u202F384 octets, la longueur du plus long scan). La ligne est "
                                            "restée comme elle était.";
    QTest::newRow("100,000 characters") << "AB" << 25000
                                        << "Texte refusé : 100\u202F002 caractères, plus que les 65\u202F536 d'une "
                                           "commande (16\u202F384 octets, la longueur du plus long scan). La ligne est "
                                           "restée comme elle était.";
}

void tst_ReadRate::longPaste()
{
    QFETCH(QString, before);
    QFETCH(int, escapes);
    QFETCH(QString, said);
    PtyDevice device;
    Bench b(device.path());
    auto *line = b.bench().findChild<ConsoleLine *>(QStringLiteral("console"));
    auto *message = b.bench().findChild<QLabel *>(QStringLiteral("message"));
    line->setText(before);
    line->end(false);
    const QString text = QStringLiteral("\\x41").repeated(escapes);
    QApplication::clipboard()->setText(text);
    line->paste();
    if (said.isEmpty()) {
        QTRY_COMPARE(line->text().size(), before.size() + 4 * escapes);
        QCOMPARE(line->text(), before + text);
        QCOMPARE(message->text(), QString());
        // Sent whole (what the line does not take at once goes as the
        // events run).
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(device.received().size(), escapes, 10000);
        QCOMPARE(device.received(), QByteArray(escapes, 'A'));
        return;
    }
    QTRY_COMPARE(message->text(), said);
    QCOMPARE(line->text(), before);
    QCOMPARE(line->cursorPosition(), before.size());
}

QTEST_MAIN(tst_ReadRate)
#include "tst_readrate.moc"
