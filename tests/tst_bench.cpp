#include "BenchCounters.h"
#include "BenchReport.h"
#include "CodeList.h"
#include "BenchWindow.h"
#include "ConsoleLine.h"
#include "FakeWindow.h"
#include "FullDisk.h"
#include "ReadRateFigures.h"
#include "Gs1ElementString.h"
#include "PtyDevice.h"
#include "ScanFramer.h"
#include "Symbology.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTableView>
#include <QToolTip>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QProcess>
#include <QStandardPaths>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QScopeGuard>

#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>
#include <QToolButton>

// One take: the reads it brought, each (stamp in ms, bytes).
using Take = QList<std::pair<int, QByteArray>>;
using Takes = QList<Take>;
Q_DECLARE_METATYPE(ScanFramer::Ending)
Q_DECLARE_METATYPE(Take)

namespace {

TakenBytes taken(const Take &reads)
{
    TakenBytes t;
    for (const auto &[ms, bytes] : reads) {
        t.bytes += bytes;
        t.reads.append({t.bytes.size(), ms});
    }
    return t;
}

// A scan as "data@firstMs", with CR and LF written \r and \n.
QString described(const FramedScan &s)
{
    QString data = QString::fromLatin1(s.data);
    data.replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n")).replace(u'\t', QStringLiteral("\\t"));
    return data + u'@' + QString::number(s.firstMs) + (s.unfinished ? QStringLiteral(" inachevé") : QString());
}

QString cell(const QAbstractItemModel &m, int row, int column)
{
    return m.data(m.index(row, column)).toString();
}

// Splits one CSV line as RFC 4180 writes it.
QStringList csvFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
                field += u'"', ++i;
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u';') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

} // namespace

class tst_Bench : public QObject
{
    Q_OBJECT
private slots:
    // Every test starts from no settings: the bench's options are kept there.
    void init() { QFile::remove(SettingsStore::userFileName()); }
    void framing_data();
    void framing();
    void silenceWaitsForUntakenBytes();
    void cutPastTheLimit_data();
    void cutPastTheLimit();
    void closedLineEndsItsScan_data();
    void closedLineEndsItsScan();
    void switchedOffMidScan();
    void gs1ElementStrings_data();
    void gs1ElementStrings();
    void gs1FaultInTheTable();
    void shownData_data();
    void shownData();
    void replyWindow_data();
    void replyWindow();
    void overlongScanIsCut();
    void symbology_data();
    void symbology();
    void expectedCodes();
    void listFile_data();
    void listFile();
    void codeList();
    void rowFaults_data();
    void rowFaults();
    void listLoads_data();
    void listLoads();
    void reportReadBack();
    void reportCells_data();
    void reportCells();
    void reportDataCells_data();
    void reportDataCells();
    void reportAllOrNone_data();
    void reportAllOrNone();
    void reportInASpreadsheet();
    void reportAsksBeforeReplacing();
    void fixedCommandReplyIsNoScan();
    void markupInADataTip();
    void silenceEndsTheLastScan();
    void ptyScanSplitAcrossTicks();
    void ptyScansAsTheyCome_data();
    void ptyScansAsTheyCome();
    void ptyHalfScanThenEteindre();
    void lookRestored_data();
    void lookRestored();
    void lookSaved();
    void readByAScreenReader();
};

void tst_Bench::framing_data()
{
    QTest::addColumn<ScanFramer::Ending>("ending");
    QTest::addColumn<Takes>("takes");
    QTest::addColumn<QStringList>("scans"); // what the takes end, then a silence

    using E = ScanFramer::Ending;
    QTest::newRow("auto: CR") << E::Automatic << Takes{{{0, "4006381333931\r"}}}
                              << QStringList{"4006381333931@0"};
    QTest::newRow("auto: two scans in one take") << E::Automatic << Takes{{{0, "AAA\rBBB\r"}}}
                                                 << QStringList{"AAA@0", "BBB@0"};
    QTest::newRow("auto: a scan over two takes") << E::Automatic
                                                 << Takes{{{0, "40063"}}, {{620, "81333931\r"}}}
                                                 << QStringList{"4006381333931@0"};
    QTest::newRow("auto: CR LF split between takes") << E::Automatic
                                                     << Takes{{{0, "ABC\r"}}, {{500, "\nDEF\r\n"}}}
                                                     << QStringList{"ABC@0", "DEF@500"};
    QTest::newRow("auto: LF alone") << E::Automatic << Takes{{{0, "A\nB\n"}}} << QStringList{"A@0", "B@0"};
    QTest::newRow("auto: terminators alone make no scan") << E::Automatic << Takes{{{0, "\r\r\n\n\r"}}}
                                                          << QStringList{};
    QTest::newRow("auto: a read's stamp is the scan's") << E::Automatic
                                                        << Takes{{{3, "AB"}, {9, "C\rD"}, {40, "E\r"}}}
                                                        << QStringList{"ABC@3", "DE@9"};
    QTest::newRow("auto: TAB") << E::Automatic << Takes{{{0, "A\tB\t"}}} << QStringList{"A@0", "B@0"};
    QTest::newRow("auto: TAB then CR") << E::Automatic << Takes{{{0, "A\t\rB\r"}}} << QStringList{"A@0", "B@0"};
    QTest::newRow("TAB: CR and LF are data") << E::Tab << Takes{{{0, "A\rB\nC\t"}}} << QStringList{"A\\rB\\nC@0"};
    QTest::newRow("byte 03: CR, LF and TAB are data") << E::Byte << Takes{{{0, "A\rB\n\tC\x03" "D\x03"}}}
                                                      << QStringList{"A\\rB\\n\\tC@0", "D@0"};
    QTest::newRow("byte 03 over two takes") << E::Byte << Takes{{{0, "AB"}}, {{300, "C\x03\x03"}}}
                                            << QStringList{"ABC@0"};
    QTest::newRow("CR: TAB is data") << E::Cr << Takes{{{0, "A\tB\r"}}} << QStringList{"A\\tB@0"};
    QTest::newRow("CR: LF is data") << E::Cr << Takes{{{0, "A\r\nB\r"}}} << QStringList{"A@0", "\\nB@0"};
    QTest::newRow("LF: CR is data") << E::Lf << Takes{{{0, "A\rB\n"}}} << QStringList{"A\\rB@0"};
    QTest::newRow("CR LF: a CR alone is data") << E::CrLf << Takes{{{0, "A\rB\r\n"}}} << QStringList{"A\\rB@0"};
    QTest::newRow("CR LF: CR CR LF") << E::CrLf << Takes{{{0, "A\r\r\n"}}} << QStringList{"A\\r@0"};
    QTest::newRow("CR LF: the pair over two takes") << E::CrLf << Takes{{{0, "A\r"}}, {{480, "\nB\r\n"}}}
                                                    << QStringList{"A@0", "B@480"};
    QTest::newRow("silence: gaps between reads") << E::Silence
                                                 << Takes{{{0, "AB"}, {10, "CD"}, {100, "EF"}}}
                                                 << QStringList{"ABCD@0", "EF@100"};
    QTest::newRow("silence: a short gap over two takes") << E::Silence << Takes{{{0, "AB"}}, {{30, "C\rD"}}}
                                                         << QStringList{"ABC\\rD@0"};
    QTest::newRow("silence: a long gap over two takes") << E::Silence << Takes{{{0, "AB"}}, {{50, "CD"}}}
                                                        << QStringList{"AB@0", "CD@50"};
}

void tst_Bench::framing()
{
    QFETCH(ScanFramer::Ending, ending);
    QFETCH(Takes, takes);
    QFETCH(QStringList, scans);

    ScanFramer f;
    f.setEnding(ending, 50);
    QStringList got;
    qint64 last = 0;
    for (const Take &t : takes) {
        for (const FramedScan &s : f.feed(taken(t)))
            got << described(s);
        last = t.last().first;
    }
    if (auto s = f.closeIfSilent(last + 1000, last))
        got << described(*s);
    QCOMPARE(got, scans);
}

void tst_Bench::silenceWaitsForUntakenBytes()
{
    ScanFramer f;
    f.setEnding(ScanFramer::Ending::Silence, 50);
    QVERIFY(f.feed(taken({{100, "ABC"}})).isEmpty());
    QCOMPARE(f.pendingBytes(), 3);
    // Not quiet long enough yet.
    QVERIFY(!f.closeIfSilent(149, 100));
    // Bytes were read at 120 that no take has brought: they may continue it.
    QVERIFY(!f.closeIfSilent(400, 120));
    const QList<FramedScan> scans = f.feed(taken({{120, "DEF"}}));
    QVERIFY(scans.isEmpty());
    const std::optional<FramedScan> s = f.closeIfSilent(170, 120);
    QVERIFY(s);
    QCOMPARE(described(*s), QStringLiteral("ABCDEF@100"));
    QCOMPARE(s->lastMs, 120);
    QCOMPARE(f.pendingBytes(), 0);
}

void tst_Bench::replyWindow_data()
{
    QTest::addColumn<ScanFramer::Ending>("ending");
    QTest::addColumn<Take>("reads");
    QTest::addColumn<QStringList>("scans"); // ended by the take
    QTest::addColumn<int>("pending");

    using E = ScanFramer::Ending;
    // The window runs from 100 to 200 ms.
    QTest::newRow("ACK alone, in the window") << E::Automatic << Take{{120, "\x06"}} << QStringList{"\x06@120"} << 0;
    QTest::newRow("ACK then CR LF") << E::Automatic << Take{{120, "\x06\r\n"}} << QStringList{"\x06@120"} << 0;
    QTest::newRow("text then NAK") << E::CrLf << Take{{150, "ERR"}, {160, "\x15"}} << QStringList{"ERR\x15@150"} << 0;
    QTest::newRow("ACK after the window is data") << E::Automatic << Take{{201, "\x06"}} << QStringList{} << 1;
    QTest::newRow("ACK before the window is data") << E::Automatic << Take{{99, "A\x06"}} << QStringList{} << 2;
    QTest::newRow("silence: ACK ends it") << E::Silence << Take{{110, "\x06OK"}} << QStringList{"\x06@110"} << 2;
}

void tst_Bench::replyWindow()
{
    QFETCH(ScanFramer::Ending, ending);
    QFETCH(Take, reads);
    QFETCH(QStringList, scans);
    QFETCH(int, pending);
    ScanFramer f;
    f.setEnding(ending, 50);
    f.addReplyWindow(100, 200);
    QStringList got;
    for (const FramedScan &s : f.feed(taken(reads)))
        got << described(s);
    QCOMPARE(got, scans);
    QCOMPARE(f.pendingBytes(), pending);
}

// A scan is cut when a byte comes past the limit: one of exactly
// MaxScanBytes, then its terminator, is whole.
void tst_Bench::cutPastTheLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("cut");

    QTest::newRow("one below") << int(ScanFramer::MaxScanBytes - 1) << false;
    QTest::newRow("exactly the limit") << int(ScanFramer::MaxScanBytes) << false;
    QTest::newRow("one past") << int(ScanFramer::MaxScanBytes + 1) << true;
}

void tst_Bench::cutPastTheLimit()
{
    QFETCH(int, length);
    QFETCH(bool, cut);
    ScanFramer f;
    const QList<FramedScan> scans = f.feed(taken({{0, QByteArray(length, 'x') + "\r"}}));
    QCOMPARE(scans.size(), cut ? 2 : 1);
    QCOMPARE(scans[0].cut, cut);
    QCOMPARE(scans[0].data.size(), qMin<qsizetype>(length, ScanFramer::MaxScanBytes));
    QCOMPARE(f.pendingBytes(), 0);
}

// A scan open when the line closes ends on its own row, marked unfinished,
// whether its bytes were taken before the close or with the next open's.
void tst_Bench::closedLineEndsItsScan_data()
{
    QTest::addColumn<Takes>("before"); // taken before the close, at 100
    QTest::addColumn<Takes>("after");
    QTest::addColumn<bool>("endNow"); // nothing of the closed line is left to take
    QTest::addColumn<QStringList>("scans");

    QTest::newRow("taken before, ended at once")
        << Takes{{{10, "4006381"}}} << Takes{{{300, "96385074\r"}}} << true
        << QStringList{"4006381@10 inachevé", "96385074@300"};
    QTest::newRow("its last bytes taken with the next open's")
        << Takes{{{10, "4006"}}} << Takes{{{50, "381"}, {300, "96385074\r"}}} << false
        << QStringList{"4006381@10 inachevé", "96385074@300"};
    QTest::newRow("whole scans are not touched")
        << Takes{{{10, "AB\r"}}} << Takes{{{300, "CD\r"}}} << true << QStringList{"AB@10", "CD@300"};
    QTest::newRow("a CR LF's CR before the close")
        << Takes{{{10, "AB\r"}}} << Takes{{{300, "CD\r\n"}}} << true << QStringList{"AB@10", "CD@300"};
}

void tst_Bench::closedLineEndsItsScan()
{
    QFETCH(Takes, before);
    QFETCH(Takes, after);
    QFETCH(bool, endNow);
    QFETCH(QStringList, scans);
    ScanFramer f;
    QStringList got;
    for (const Take &t : before)
        for (const FramedScan &s : f.feed(taken(t)))
            got << described(s);
    f.lineClosed(100);
    QVERIFY(f.lineWasClosed());
    if (endNow) {
        if (std::optional<FramedScan> s = f.endUnfinished())
            got << described(*s);
    }
    for (const Take &t : after)
        for (const FramedScan &s : f.feed(taken(t)))
            got << described(s);
    QCOMPARE(got, scans);
    QVERIFY(!f.lineWasClosed());
}

// "Eteindre" in the middle of a scan, then the next scan after the port
// opens again: two rows, the first marked "inachevé" and not counted.
void tst_Bench::switchedOffMidScan()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    b.comm->setPortOpen(true);
    b.show("40063813");
    QTRY_VERIFY(bench->idle());
    QCOMPARE(bench->table().rowCount(), 0);
    b.w.Command2_Click(); // Eteindre
    QVERIFY(!b.comm->PortOpen());
    QTRY_COMPARE(bench->table().rowCount(), 1);
    b.comm->setPortOpen(true);
    b.show("96385074\r");
    QTRY_COMPARE(bench->table().rowCount(), 2);
    const ScanTable &t = bench->table();
    QCOMPARE(cell(t, 0, ScanTable::Data), QStringLiteral("40063813"));
    QCOMPARE(cell(t, 0, ScanTable::Mark), QStringLiteral("inachevé"));
    QCOMPARE(cell(t, 1, ScanTable::Data), QStringLiteral("96385074"));
    QCOMPARE(cell(t, 1, ScanTable::Mark), QString());
    QCOMPARE(cell(t, 1, ScanTable::Check), QStringLiteral("correct"));
}

// GS1 element strings read AI by AI. The GTINs are GS1's own examples
// (09506000134352, 09501101020917); the SSCC 106141411234567897 and GLN
// 5412345000013 are GS1's published examples too.
void tst_Bench::gs1ElementStrings_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("fault");

    QTest::newRow("GTIN, expiry, batch") << QByteArray("0109506000134352" "17201231" "10ABC123")
                                         << "(01) 09506000134352 (17) 201231 (10) ABC123" << "";
    QTest::newRow("FNC1 ends a variable value") << QByteArray("10ABC\x1D" "17201231")
                                                << "(10) ABC <GS> (17) 201231" << "";
    QTest::newRow("FNC1 first, sent by some scanners") << QByteArray("\x1D" "0109501101020917")
                                                       << "(01) 09501101020917" << "";
    QTest::newRow("SSCC") << QByteArray("00106141411234567897") << "(00) 106141411234567897" << "";
    QTest::newRow("SSCC, check wrong") << QByteArray("00106141411234567890") << "(00) 106141411234567890"
                                       << "(00) SSCC : chiffre de contrôle faux, attendu 7";
    QTest::newRow("GTIN, check wrong") << QByteArray("0109506000134353") << "(01) 09506000134353"
                                       << "(01) GTIN : chiffre de contrôle faux, attendu 2";
    QTest::newRow("GLN ship to") << QByteArray("4105412345000013") << "(410) 5412345000013" << "";
    QTest::newRow("net weight, 3 decimals") << QByteArray("3103000150") << "(3103) 000150" << "";
    QTest::newRow("count, serial") << QByteArray("3012\x1D" "21XYZ-9") << "(30) 12 <GS> (21) XYZ-9" << "";
    QTest::newRow("best before, day 00") << QByteArray("15251200") << "(15) 251200" << "";
    QTest::newRow("production date, day 00") << QByteArray("11251200") << "(11) 251200"
                                             << "(11) date de production : « 251200 » n'est pas une date AAMMJJ";
    QTest::newRow("expiry, month 13") << QByteArray("17251301") << "(17) 251301"
                                      << "(17) date limite : « 251301 » n'est pas une date AAMMJJ";
    QTest::newRow("expiry, 30 February") << QByteArray("17250230") << "(17) 250230"
                                         << "(17) date limite : « 250230 » n'est pas une date AAMMJJ";
    QTest::newRow("batch too long") << QByteArray("10ABCDEFGHIJKLMNOPQRSTU") << "(10) ABCDEFGHIJKLMNOPQRSTU"
                                    << "(10) lot : au plus 20 caractères, 21 reçus";
    QTest::newRow("letters in a count") << QByteArray("30A12") << "(30) A12" << "(30) quantité : chiffres attendus";
    QTest::newRow("FNC1 inside a GTIN") << QByteArray("0109506000\x1D" "10X") << "(01) 09506000"
                                        << "(01) GTIN : 14 caractères attendus, 8 reçus";
    QTest::newRow("unknown AI") << QByteArray("0109501101020917" "99ABC") << "(01) 09501101020917"
                                << "AI inconnu ou absent au début de « 99ABC »";
}

void tst_Bench::gs1ElementStrings()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, shown);
    QFETCH(QString, fault);
    const Gs1ElementString e = Gs1ElementString::read(data);
    QCOMPARE(e.shown, shown);
    QCOMPARE(e.fault, fault);
}

// A GS1 scan whose element strings break a rule says so in the check
// column; its tooltip reads the AIs.
void tst_Bench::gs1FaultInTheTable()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    b.comm->setPortOpen(true);
    b.show("]C10109506000134352" "17251301\r]d20109506000134352" "17201231" "10ABC123\r");
    QTRY_COMPARE(bench->table().rowCount(), 2);
    const ScanTable &t = bench->table();
    QCOMPARE(cell(t, 0, ScanTable::Check),
             QStringLiteral("invalide : (17) date limite : « 251301 » n'est pas une date AAMMJJ"));
    QCOMPARE(cell(t, 1, ScanTable::Check), QStringLiteral("correct"));
    QCOMPARE(t.data(t.index(1, ScanTable::Data), Qt::ToolTipRole).toString(),
             QStringLiteral("]d20109506000134352172012311" "0ABC123\n(01) 09506000134352 (17) 201231 (10) ABC123"));
}

void tst_Bench::shownData_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("shown");

    QTest::newRow("ASCII") << QByteArray("]C0ABC-123") << "]C0ABC-123";
    QTest::newRow("UTF-8 text") << QByteArray("]Q1Z\xC3\xBCrich 3\xE2\x82\xAC") << "]Q1Zürich 3€";
    QTest::newRow("UTF-8 with GS") << QByteArray("\xC3\xA9\x1D" "10") << "é␝10";
    QTest::newRow("Latin-1 byte: not UTF-8") << QByteArray("caf\xE9") << "café";
    QTest::newRow("UTF-8 cut short: bytes") << QByteArray("3\xE2\x82") << "3â‚";
    QTest::newRow("Windows-1252 range") << QByteArray("\x80\x85") << "€…";
}

void tst_Bench::shownData()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, shown);
    QCOMPARE(ScanTable::shownData(data), shown);
}

void tst_Bench::overlongScanIsCut()
{
    ScanFramer f;
    const QByteArray longScan(ScanFramer::MaxScanBytes + 10, 'x');
    QList<FramedScan> scans = f.feed(taken({{0, longScan.left(9000)}, {7, longScan.mid(9000) + "\rOK\r"}}));
    QCOMPARE(scans.size(), 3);
    QCOMPARE(scans[0].data.size(), ScanFramer::MaxScanBytes);
    QVERIFY(scans[0].cut);
    QCOMPARE(scans[1].data, QByteArray(10, 'x'));
    QCOMPARE(scans[1].firstMs, 7);
    QVERIFY(!scans[1].cut);
    QCOMPARE(scans[2].data, QByteArray("OK"));
}

void tst_Bench::symbology_data()
{
    QTest::addColumn<QByteArray>("scan");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QByteArray>("payload");

    // Published examples: EAN-13 4006381333931, UPC-A 036000291452, EAN-8
    // 96385074, ITF-14 15400141288763, ISBN 9780306406157, and the GTIN
    // 09501101020917 of GS1's own examples.
    QTest::newRow("]E0 EAN-13") << QByteArray("]E04006381333931") << "EAN-13 (]E0)" << "correct"
                                << QByteArray("4006381333931");
    QTest::newRow("]E0 EAN-13, last digit wrong") << QByteArray("]E04006381333932") << "EAN-13 (]E0)"
                                                  << "faux, attendu 1" << QByteArray("4006381333932");
    QTest::newRow("]E0 UPC-A in 12 digits") << QByteArray("]E0036000291452") << "UPC-A (]E0)"
                                            << "correct" << QByteArray("036000291452");
    QTest::newRow("]E0 ISBN") << QByteArray("]E09780306406157") << "EAN-13 (]E0)" << "correct"
                              << QByteArray("9780306406157");
    // UPC-E: checked as the UPC-A it stands for, one row per rule of the
    // expansion (the last of the six digits says where the zeros go):
    // 04252614 is 04210000526 (check 4), 01234505 is 01200000345 (5),
    // 01234531 is 01230000045 (1), 01234565 is 01234500006 (5).
    QTest::newRow("]E0 UPC-E, zeros after X1 X2 X6") << QByteArray("]E004252614") << "UPC-E (]E0)" << "correct"
                                                   << QByteArray("04252614");
    QTest::newRow("]E0 UPC-E, last digit wrong") << QByteArray("]E004252610") << "UPC-E (]E0)" << "faux, attendu 4"
                                                 << QByteArray("04252610");
    QTest::newRow("]E0 UPC-E, X6 0") << QByteArray("]E001234505") << "UPC-E (]E0)" << "correct"
                                     << QByteArray("01234505");
    QTest::newRow("]E0 UPC-E, X6 3") << QByteArray("]E001234531") << "UPC-E (]E0)" << "correct"
                                     << QByteArray("01234531");
    QTest::newRow("]E0 UPC-E, X6 3, wrong") << QByteArray("]E001234535") << "UPC-E (]E0)" << "faux, attendu 1"
                                            << QByteArray("01234535");
    QTest::newRow("]E0 UPC-E, X6 6") << QByteArray("]E001234565") << "UPC-E (]E0)" << "correct"
                                     << QByteArray("01234565");
    QTest::newRow("]E0 UPC-E, number system 2") << QByteArray("]E021234565") << "UPC-E (]E0)"
                                                << "invalide : système de numérotation 0 ou 1 attendu"
                                                << QByteArray("21234565");
    QTest::newRow("]E0 of 10 digits") << QByteArray("]E01234567890") << "EAN-13 / UPC-A (]E0)"
                                      << "invalide : 8, 12 ou 13 chiffres attendus" << QByteArray("1234567890");
    QTest::newRow("]E4 EAN-8 of 13 digits") << QByteArray("]E44006381333931") << "EAN-8 (]E4)"
                                            << "invalide : 8 chiffres attendus" << QByteArray("4006381333931");
    QTest::newRow("]E1 add-on of 2") << QByteArray("]E112") << "Add-on à 2 chiffres (]E1)" << "—"
                                     << QByteArray("12");
    QTest::newRow("]E1 add-on of 3") << QByteArray("]E1123") << "Add-on à 2 chiffres (]E1)"
                                     << "invalide : 2 chiffres attendus" << QByteArray("123");
    QTest::newRow("]E2 add-on of 4") << QByteArray("]E29000") << "Add-on à 5 chiffres (]E2)"
                                     << "invalide : 5 chiffres attendus" << QByteArray("9000");
    QTest::newRow("]E4 EAN-8") << QByteArray("]E496385074") << "EAN-8 (]E4)" << "correct" << QByteArray("96385074");
    QTest::newRow("]E4 EAN-8 wrong") << QByteArray("]E496385070") << "EAN-8 (]E4)" << "faux, attendu 4"
                                     << QByteArray("96385070");
    QTest::newRow("]E3 EAN-13 with add-on") << QByteArray("]E3978030640615790000") << "EAN-13 avec add-on (]E3)"
                                            << "correct" << QByteArray("978030640615790000");
    QTest::newRow("]E2 add-on alone") << QByteArray("]E290000") << "Add-on à 5 chiffres (]E2)" << "—"
                                      << QByteArray("90000");
    QTest::newRow("]I0 ITF-14") << QByteArray("]I015400141288763") << "ITF (]I0)" << "correct"
                                << QByteArray("15400141288763");
    QTest::newRow("]I0 ITF of 6 digits") << QByteArray("]I0123456") << "ITF (]I0)" << "—" << QByteArray("123456");
    QTest::newRow("]C1 GS1-128 with AIs") << QByteArray("]C10109501101020917\x1D" "10ABC") << "GS1-128 (]C1)"
                                          << "correct" << QByteArray("0109501101020917\x1D" "10ABC");
    QTest::newRow("]C1 GS1-128 GTIN wrong") << QByteArray("]C10109501101020918") << "GS1-128 (]C1)"
                                            << "faux, attendu 7" << QByteArray("0109501101020918");
    QTest::newRow("]C1 GS1-128, an SSCC") << QByteArray("]C100106141411234567897") << "GS1-128 (]C1)" << "—"
                                          << QByteArray("00106141411234567897");
    QTest::newRow("]C1 GS1-128, an SSCC's check wrong") << QByteArray("]C100106141411234567890") << "GS1-128 (]C1)"
                                                        << "invalide : (00) SSCC : chiffre de contrôle faux, attendu 7"
                                                        << QByteArray("00106141411234567890");
    QTest::newRow("]C0 Code 128") << QByteArray("]C0ABC-123") << "Code 128 (]C0)" << "—" << QByteArray("ABC-123");
    QTest::newRow("]A0 Code 39") << QByteArray("]A0CODE39") << "Code 39 (]A0)" << "—" << QByteArray("CODE39");
    QTest::newRow("]F0 Codabar") << QByteArray("]F0A12345B") << "Codabar (]F0)" << "—" << QByteArray("A12345B");
    QTest::newRow("]L2 PDF417") << QByteArray("]L2PDF") << "PDF417 (]L2)" << "—" << QByteArray("PDF");
    QTest::newRow("]Q1 QR Code") << QByteArray("]Q1https://example.org") << "QR Code (]Q1)" << "—"
                                 << QByteArray("https://example.org");
    QTest::newRow("]Q3 GS1 QR Code") << QByteArray("]Q30109501101020917") << "GS1 QR Code (]Q3)" << "correct"
                                     << QByteArray("0109501101020917");
    QTest::newRow("]d2 GS1 DataMatrix") << QByteArray("]d20109501101020917\x1D" "17250101") << "GS1 DataMatrix (]d2)"
                                        << "correct" << QByteArray("0109501101020917\x1D" "17250101");
    QTest::newRow("]d5 FNC1 second: not GS1") << QByteArray("]d50109501101020918") << "Data Matrix (]d5)" << "—"
                                              << QByteArray("0109501101020918");
    QTest::newRow("]Q4 FNC1 second: not GS1") << QByteArray("]Q40109501101020918") << "QR Code (]Q4)" << "—"
                                              << QByteArray("0109501101020918");
    QTest::newRow("]d1 Data Matrix") << QByteArray("]d1Hello") << "Data Matrix (]d1)" << "—" << QByteArray("Hello");
    QTest::newRow("]e0 GS1 DataBar") << QByteArray("]e00109501101020917") << "GS1 DataBar (]e0)" << "correct"
                                     << QByteArray("0109501101020917");
    QTest::newRow("guessed EAN-13") << QByteArray("4006381333931") << "EAN-13" << "correct"
                                    << QByteArray("4006381333931");
    QTest::newRow("guessed UPC-A") << QByteArray("036000291452") << "UPC-A" << "correct" << QByteArray("036000291452");
    QTest::newRow("guessed EAN-8") << QByteArray("96385074") << "EAN-8" << "correct" << QByteArray("96385074");
    QTest::newRow("guessed GTIN-14") << QByteArray("15400141288763") << "GTIN-14" << "correct"
                                     << QByteArray("15400141288763");
    QTest::newRow("13 digits, wrong check: unknown") << QByteArray("4006381333932") << "inconnue" << "—"
                                                     << QByteArray("4006381333932");
    QTest::newRow("11 digits: unknown") << QByteArray("40063813339") << "inconnue" << "—"
                                        << QByteArray("40063813339");
    QTest::newRow("no identifier: ]Y? is not one") << QByteArray("]Y?ABC") << "inconnue" << "—"
                                                   << QByteArray("]Y?ABC");
    QTest::newRow("too short for an identifier") << QByteArray("]E") << "inconnue" << "—" << QByteArray("]E");
}

void tst_Bench::symbology()
{
    QFETCH(QByteArray, scan);
    QFETCH(QString, name);
    QFETCH(QString, check);
    QFETCH(QByteArray, payload);
    const Symbology s = Symbology::of(scan);
    QCOMPARE(s.shownName(), name);
    QCOMPARE(s.shownCheck(), check);
    QCOMPARE(Symbology::payload(scan).toByteArray(), payload);
}

void tst_Bench::expectedCodes()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    QVERIFY(bench->isVisible());
    QVERIFY(!bench->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("carte.txt"));
    QFile f(list);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("4006381333931\r\n96385074  \r\n\r\n15400141288763\r\n96385074\r\n");
    f.close();
    QSignalSpy loaded(bench, &BenchWindow::listDone);
    QCOMPARE(bench->loadList(list), QString());
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.first().first().toString(), QString());
    QCOMPARE(bench->findChild<QLabel *>(QStringLiteral("message"))->text(),
             QStringLiteral("3 codes attendus chargés depuis « ") + list
                 + QStringLiteral(" » ; 1 en double dans la liste, comptés une fois ; le décompte repart de zéro."));

    // Scans: an expected one (with its identifier), an unknown one, the
    // first again, one with a wrong check digit, a second expected one.
    b.comm->setPortOpen(true);
    b.show("]E04006381333931\rHELLO\r4006381333931\r]E04006381333932\r96385074\r");
    QTRY_VERIFY(bench->idle());
    const ScanTable &t = bench->table();
    QCOMPARE(t.rowCount(), 5);
    QStringList marks, checks, numbers;
    for (int r = 0; r < t.rowCount(); ++r) {
        marks << cell(t, r, ScanTable::Mark);
        checks << cell(t, r, ScanTable::Check);
        numbers << cell(t, r, ScanTable::Number);
    }
    QCOMPARE(marks, QStringList({"attendu", "inattendu", "doublon", "inattendu", "attendu"}));
    QCOMPARE(checks, QStringList({"correct", "—", "correct", "faux, attendu 1", "correct"}));
    QCOMPARE(numbers, QStringList({"1", "2", "3", "4", "5"}));
    QCOMPARE(bench->countersText(), QStringLiteral("Scans : 5   Défauts : 2   Contrôle faux : 1   Doublons : 1"
                                                   "   Inattendus : 2   Manquants : 1 sur 3"));
    QCOMPARE(bench->tally().missing(), QList<QByteArray>{"15400141288763"});

    // Faulty rows are tinted, their reasons in every cell's tooltip; the
    // others are not.
    const QStringList reasons = {
        "", "Code absent de la liste des codes attendus.", "",
        "Chiffre de contrôle faux : 1 attendu.\nCode absent de la liste des codes attendus.", ""};
    for (int r = 0; r < t.rowCount(); ++r) {
        QCOMPARE(t.data(t.index(r, ScanTable::Hex), Qt::BackgroundRole).isValid(), !reasons[r].isEmpty());
        QCOMPARE(t.data(t.index(r, ScanTable::Check), Qt::AccessibleDescriptionRole).toString(), reasons[r]);
        QVERIFY(reasons[r].isEmpty()
                || t.data(t.index(r, ScanTable::Number), Qt::ToolTipRole).toString().endsWith(reasons[r]));
    }

    // Each counter narrows the table to its rows, as they are numbered.
    const QList<std::pair<ScanTable::Only, QStringList>> filters = {
        {ScanTable::Only::Faults, {"2", "4"}},
        {ScanTable::Only::CheckFaults, {"4"}},
        {ScanTable::Only::Duplicates, {"3"}},
        {ScanTable::Only::Unexpected, {"2", "4"}},
        {ScanTable::Only::All, {"1", "2", "3", "4", "5"}},
    };
    for (const auto &[only, rows] : filters) {
        auto *counter = bench->findChild<QToolButton *>(QStringLiteral("only%1").arg(int(only)));
        QVERIFY(counter && counter->isVisible());
        counter->click();
        QVERIFY(counter->isChecked());
        const QAbstractItemModel &shown = bench->shownRows();
        QStringList shownNumbers;
        for (int r = 0; r < shown.rowCount(); ++r)
            shownNumbers << shown.index(r, ScanTable::Number).data().toString();
        QCOMPARE(shownNumbers, rows);
    }
    // A new faulty scan comes into the filtered view as it arrives.
    bench->counters().choose(ScanTable::Only::Faults);
    b.show("NOPE\r");
    QTRY_COMPARE(bench->shownRows().rowCount(), 3);
    QCOMPARE(bench->shownRows().index(2, ScanTable::Number).data().toString(), QStringLiteral("6"));
    bench->counters().choose(ScanTable::Only::All);
    QCOMPARE(bench->shownRows().rowCount(), 6);

    // "Codes manquants" lists them in a window of its own.
    bench->findChild<QPushButton *>(QStringLiteral("showMissing"))->click();
    auto *missing = bench->findChild<QListView *>(QStringLiteral("missingCodes"));
    QVERIFY(missing && missing->isVisible());
    QCOMPARE(missing->model()->rowCount(), 1);
    QCOMPARE(missing->model()->index(0, 0).data().toString(), QStringLiteral("15400141288763"));
    QCOMPARE(missing->windowTitle(), QStringLiteral("Codes manquants : 1 sur 3"));
    missing->close();

    // "Remettre à zéro" clears the bench, never the main window's box.
    const QString box = b.w.receptionText();
    bench->findChild<QPushButton *>(QStringLiteral("reset"))->click();
    QCOMPARE(t.rowCount(), 0);
    QCOMPARE(bench->countersText(), QStringLiteral("Scans : 0   Défauts : 0   Contrôle faux : 0   Doublons : 0"
                                                   "   Inattendus : 0   Manquants : 3 sur 3"));
    QCOMPARE(b.w.receptionText(), box);
    QVERIFY(!box.isEmpty());

    // After the reset, a scan counts as the first again.
    b.show("96385074\r");
    QTRY_COMPARE(t.rowCount(), 1);
    QCOMPARE(cell(t, 0, ScanTable::Mark), QStringLiteral("attendu"));
    QCOMPARE(cell(t, 0, ScanTable::Number), QStringLiteral("1"));
    QCOMPARE(cell(t, 0, ScanTable::Gap), QString());
}

void tst_Bench::listFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<QByteArray>>("codes");
    QTest::addColumn<int>("repeats");

    QTest::newRow("LF") << QByteArray("A1\nB2\n") << QList<QByteArray>{"A1", "B2"} << 0;
    QTest::newRow("CR LF, no final break") << QByteArray("A1\r\nB2") << QList<QByteArray>{"A1", "B2"} << 0;
    QTest::newRow("blank lines") << QByteArray("\n\nA1\n\r\n\nB2\n\n") << QList<QByteArray>{"A1", "B2"} << 0;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF" "A1\nB2\n") << QList<QByteArray>{"A1", "B2"} << 0;
    QTest::newRow("repeats kept once, counted") << QByteArray("A1\nB2\nA1\nA1 \n") << QList<QByteArray>{"A1", "B2"}
                                                << 2;
    QTest::newRow("trailing spaces and tabs") << QByteArray("4006381333931  \t\r\n96385074 \n")
                                              << QList<QByteArray>{"4006381333931", "96385074"} << 0;
    QTest::newRow("a line of spaces is no code") << QByteArray("A1\n   \n\t\t\r\nB2")
                                                 << QList<QByteArray>{"A1", "B2"} << 0;
    QTest::newRow("spaces inside and GS are code") << QByteArray(" A 1\n01\x1D" "10X\n")
                                                   << QList<QByteArray>{"A 1", "01\x1D" "10X"} << 0;
    QTest::newRow("comments") << QByteArray("# carte 3, rayon B\nA1\n  # encore\nB2\n")
                              << QList<QByteArray>{"A1", "B2"} << 0;
    QTest::newRow("spreadsheet with ;") << QByteArray("\xEF\xBB\xBF" "4006381333931;Lait;1\r\n96385074;Pain;2\r\n")
                                        << QList<QByteArray>{"4006381333931", "96385074"} << 0;
    QTest::newRow("spreadsheet with ,") << QByteArray("4006381333931 , Lait\n96385074,Pain\n")
                                        << QList<QByteArray>{"4006381333931", "96385074"} << 0;
    QTest::newRow("spreadsheet, quoted fields") << QByteArray("\"AB;C\";x\n\"D\"\"E\";y\n")
                                                << QList<QByteArray>{"AB;C", "D\"E"} << 0;
    QTest::newRow("a comma on one line only is code") << QByteArray("0109501101020917\x1D" "10AB,C\nMISSING\"1\n")
                                                      << QList<QByteArray>{"0109501101020917\x1D" "10AB,C",
                                                                           "MISSING\"1"}
                                                      << 0;
    QTest::newRow("nothing") << QByteArray("\r\n\n") << QList<QByteArray>{} << 0;
}

void tst_Bench::listFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<QByteArray>, codes);
    QFETCH(int, repeats);
    const ScanTally::ListFile list = ScanTally::parseList(file);
    QCOMPARE(list.codes.toList(), codes);
    QCOMPARE(list.repeats, qsizetype(repeats));
}

// The list of expected codes: every code found at its place, whatever it
// holds (NUL, GS, bytes past ASCII), across the index's growth; a repeat
// refused.
void tst_Bench::codeList()
{
    CodeList list;
    QVERIFY(list.isEmpty());
    QCOMPARE(list.indexOf("A"), qsizetype(-1));
    const QList<QByteArray> odd = {QByteArray("0109501101020917\x1D" "10AB", 20), QByteArray("\0\0", 2), "caf\xE9", "", "A"};
    for (const QByteArray &c : odd)
        QVERIFY(list.add(c));
    QVERIFY(!list.add("A"));
    QVERIFY(!list.add(QByteArray("\0\0", 2)));
    for (int i = 0; i < 100000; ++i)
        QVERIFY(list.add(QByteArray::number(4006381000000LL + i * 7)));
    QCOMPARE(list.size(), qsizetype(100005));
    for (qsizetype i = 0; i < odd.size(); ++i) {
        QCOMPARE(list.at(i).toByteArray(), odd[i]);
        QCOMPARE(list.indexOf(odd[i]), i);
    }
    for (int i = 0; i < 100000; i += 997)
        QCOMPARE(list.indexOf(QByteArray::number(4006381000000LL + i * 7)), qsizetype(5 + i));
    QCOMPARE(list.indexOf("4006381000001"), qsizetype(-1));
    QCOMPARE(list.indexOf(QByteArray("\0", 1)), qsizetype(-1));
    QCOMPARE(list.toList().mid(0, 5), odd);
}

// Why a row stands out, each reason on a line of its own; a row without
// fault is neither tinted nor counted nor shown by the "Défauts" filter.
void tst_Bench::rowFaults_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("mark");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QString>("why");

    const int none = int(ScanTally::Mark::None);
    QTest::newRow("right") << QByteArray("]E04006381333931") << int(ScanTally::Mark::Expected) << false << "";
    QTest::newRow("duplicate") << QByteArray("]E04006381333931") << int(ScanTally::Mark::Duplicate) << false << "";
    QTest::newRow("reply") << QByteArray("\x06") << int(ScanTally::Mark::Reply) << false << "";
    QTest::newRow("wrong check digit") << QByteArray("]E04006381333932") << none << false
                                       << "Chiffre de contrôle faux : 1 attendu.";
    QTest::newRow("EAN-8 of 9 digits") << QByteArray("]E4963850740") << none << false
                                       << "Code invalide : 8 chiffres attendus.";
    QTest::newRow("broken GS1 date") << QByteArray("]C10109506000134352" "17251301") << none << false
                                     << "Code invalide : (17) date limite : « 251301 » n'est pas une date AAMMJJ.";
    QTest::newRow("unexpected") << QByteArray("HELLO") << int(ScanTally::Mark::Unexpected) << false
                                << "Code absent de la liste des codes attendus.";
    QTest::newRow("no-read") << QByteArray() << int(ScanTally::Mark::NoRead) << false
                             << "Sans lecture : aucune donnée dans l'attente du test.";
    QTest::newRow("unfinished") << QByteArray("]E0400") << int(ScanTally::Mark::Unfinished) << false
                                << "Scan inachevé : le port s'est fermé avant sa fin.";
    QTest::newRow("cut, and unexpected") << QByteArray(100, 'x') << int(ScanTally::Mark::Unexpected) << true
                                         << "Code absent de la liste des codes attendus.\n"
                                            "Scan coupé : trop long, la suite est sur la ligne suivante.";
}

void tst_Bench::rowFaults()
{
    QFETCH(QByteArray, data);
    QFETCH(int, mark);
    QFETCH(bool, cut);
    QFETCH(QString, why);
    ScanRow r;
    r.data = data;
    r.symbology = Symbology::of(data);
    r.mark = ScanTally::Mark(mark);
    r.cut = cut;
    QCOMPARE(ScanTable::faultOf(r), why);
    QCOMPARE(ScanTable::hasFault(r), !why.isEmpty());
    QCOMPARE(ScanTable::shows(r, ScanTable::Only::Faults), !why.isEmpty());
    ScanTable t;
    std::deque<ScanRow> rows{r};
    t.append(std::move(rows));
    QCOMPARE(t.faulty(), why.isEmpty() ? 0 : 1);
    QCOMPARE(t.data(t.index(0, ScanTable::Kind), Qt::BackgroundRole).isValid(), !why.isEmpty());
}

// Lists load on a thread of their own: what the message says at the end,
// and a load overtaken by another never lands.
void tst_Bench::listLoads_data()
{
    QTest::addColumn<QByteArray>("first");  // a list started first; empty: none
    QTest::addColumn<QByteArray>("second"); // the file loaded then; "(none)": a missing file
    QTest::addColumn<QString>("said");      // %1: the second file's path
    QTest::addColumn<int>("expected");

    QTest::newRow("a list") << QByteArray() << QByteArray("A1\nB2\n")
                            << "2 codes attendus chargés depuis « %1 » ; le décompte repart de zéro." << 2;
    QTest::newRow("no code in it") << QByteArray() << QByteArray("# rien\n\n")
                                   << "Liste non chargée : « %1 » ne contient aucun code." << 0;
    QTest::newRow("missing file") << QByteArray() << QByteArray("(none)")
                                  << "Liste non chargée : « %1 » : dossier introuvable" << 0;
    QTest::newRow("overtaken by another") << QByteArray(2000000, '7').replace(QByteArray(13, '7'), "4006381333931\n")
                                          << QByteArray("A1\n")
                                          << "1 codes attendus chargés depuis « %1 » ; le décompte repart de zéro."
                                          << 1;
}

void tst_Bench::listLoads()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QString, said);
    QFETCH(int, expected);
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    QTemporaryDir dir;
    const auto file = [&dir](const QString &name, const QByteArray &content) {
        QFile f(dir.filePath(name));
        if (content != "(none)" && f.open(QIODevice::WriteOnly))
            f.write(content);
        return dir.filePath(name);
    };
    QSignalSpy done(bench, &BenchWindow::listDone);
    if (!first.isEmpty())
        bench->loadList(file(QStringLiteral("first.txt"), first));
    const QString path = file(QStringLiteral("second.txt"), second);
    bench->loadList(path);
    QVERIFY(done.wait(20000));
    QTest::qWait(first.isEmpty() ? 0 : 500); // the first, had it landed, would be here by now
    QCOMPARE(done.size(), 1);
    QCOMPARE(bench->findChild<QLabel *>(QStringLiteral("message"))->text(), said.arg(path));
    QCOMPARE(bench->tally().expected().size(), qsizetype(expected));
}

void tst_Bench::reportReadBack()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("carte.txt"));
    QFile f(list);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("0109501101020917\x1D" "10AB,C\nMISSING\"1\n");
    f.close();
    QSignalSpy loaded(bench, &BenchWindow::listDone);
    QCOMPARE(bench->loadList(list), QString());
    QVERIFY(loaded.wait(10000));

    b.comm->setPortOpen(true);
    b.comm->arriveAt(1000, "]C10109501101020917\x1D" "10AB,C\r");
    b.comm->arriveAt(1250, "caf\xE9\\\x01\r");
    b.w.Command5_Click();
    QTRY_VERIFY(bench->idle());
    QCOMPARE(bench->table().rowCount(), 2);

    const QString csv = dir.filePath(QStringLiteral("rapport.csv"));
    QCOMPARE(bench->saveReport(csv), QString());
    QCOMPARE(bench->findChild<QLabel *>(QStringLiteral("message"))->text(),
             QStringLiteral("Rapport enregistré : « ") + csv + QStringLiteral(" » et « ")
                 + dir.filePath(QStringLiteral("rapport.txt")) + QStringLiteral(" »."));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("rapport.png")))); // no read-rate test ran
    QFile in(csv);
    QVERIFY(in.open(QIODevice::ReadOnly));
    // UTF-8 with its mark, CR LF line ends, ';' between fields.
    const QByteArray bytes = in.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("N°;Reçu à;Écart (ms);Longueur;Symbologie;AIM;Contrôle;Liste;État;Données;GS1;Hexa"));
    QCOMPARE(lines[3], QString());
    const QStringList first = csvFields(lines[1]);
    const QStringList second = csvFields(lines[2]);
    QCOMPARE(first.size(), 12);
    QCOMPARE(second.size(), 12);
    // The time: ISO 8601 with milliseconds and the offset.
    QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}([+-]\d\d:\d\d|Z)$)"))
                 .match(first[1]).hasMatch(), qPrintable(first[1]));
    QCOMPARE(QDateTime::fromString(second[1], Qt::ISODateWithMs).toMSecsSinceEpoch()
                 - QDateTime::fromString(first[1], Qt::ISODateWithMs).toMSecsSinceEpoch(), 250);
    // Longueur is the code's, without its AIM identifier (26 bytes in all);
    // a GS1 code's element strings are read out.
    QCOMPARE(QStringList(first.mid(2)), QStringList({"", "23", "GS1-128", "]C1", "correct", "attendu", "",
                                                     "]C10109501101020917\\x1D10AB,C",
                                                     "(01) 09501101020917 (10) AB,C",
                                                     "5D 43 31 30 31 30 39 35 30 31 31 30 31 30 32 30 39 31 37 "
                                                     "1D 31 30 41 42 2C 43"}));
    QCOMPARE(QStringList(second.mid(2)), QStringList({"250", "6", "inconnue", "", "—", "inattendu", "",
                                                      "caf\\xE9\\\\\\x01", "", "63 61 66 E9 5C 01"}));

    QFile summaryFile(dir.filePath(QStringLiteral("rapport.txt")));
    QVERIFY(summaryFile.open(QIODevice::ReadOnly));
    const QString summary = QString::fromUtf8(summaryFile.readAll());
    QVERIFY(summary.startsWith(QStringLiteral("Rapport du banc d'essai Vantrel\n\nDate : ")));
    QVERIFY(summary.contains(QStringLiteral("\nVersion de Vantrel : " VANTREL_VERSION "\n")));
    QVERIFY(summary.contains(QStringLiteral("\nPériphérique : /dev/fake1\nLigne : 9600 8N1\n"
                                            "Découpage des scans : automatique (CR, LF, CR LF ou TAB)\n")));
    QVERIFY2(summary.endsWith(QStringLiteral("\nScans : 2\nChiffres de contrôle faux : 0\nDoublons : 0\n"
                                             "Liste des codes attendus : ") + list
                              + QStringLiteral("\nCodes attendus : 2\nInattendus : 1\nCodes attendus manquants : 1\n"
                                               "  MISSING\"1\n")),
             qPrintable(summary));

    // A report never replaces what is not a regular file.
    const QString why = bench->saveReport(dir.path());
    QCOMPARE(why, QStringLiteral("« ") + dir.path() + QStringLiteral(" » : c'est un dossier ; aucun fichier modifié"));
    QCOMPARE(bench->findChild<QLabel *>(QStringLiteral("message"))->text(),
             QStringLiteral("Rapport non enregistré : ") + why + u'.');
}

// A cell of the CSV as a spreadsheet must read it: never a formula, quoted
// where it holds a separator, a quote or a line break.
void tst_Bench::reportCells_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("cell");

    QTest::newRow("plain") << "EAN-13" << QByteArray("EAN-13");
    QTest::newRow("accents in UTF-8") << "Zürich 3€" << QByteArray("Z\xC3\xBCrich 3\xE2\x82\xAC");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("formula =") << "=1+1" << QByteArray("'=1+1");
    QTest::newRow("formula +") << "+33 6 12" << QByteArray("'+33 6 12");
    QTest::newRow("formula -") << "-2+3" << QByteArray("'-2+3");
    QTest::newRow("formula @") << "@SUM(A1:A9)" << QByteArray("'@SUM(A1:A9)");
    QTest::newRow("leading TAB") << "\t=1" << QByteArray("'\t=1");
    QTest::newRow("leading CR, quoted") << "\r=1" << QByteArray("\"'\r=1\"");
    QTest::newRow("= inside is text") << "a=1" << QByteArray("a=1");
    QTest::newRow("separator") << "a;b" << QByteArray("\"a;b\"");
    QTest::newRow("comma needs no quotes") << "a,b" << QByteArray("a,b");
    QTest::newRow("quote") << "say \"hi\"" << QByteArray("\"say \"\"hi\"\"\"");
    QTest::newRow("formula with separator") << "=HYPERLINK(\"x\";1)" << QByteArray("\"'=HYPERLINK(\"\"x\"\";1)\"");
}

void tst_Bench::reportCells()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, cell);
    QCOMPARE(BenchReport::csvCell(text), cell);
}

// The data column of a scan that a spreadsheet would run: inert, and read
// back as the bytes that came (a leading "'" of its own is \x27).
void tst_Bench::reportDataCells_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("cell");

    QTest::newRow("=1+1") << QByteArray("=1+1") << QByteArray("'=1+1");
    QTest::newRow("@ command") << QByteArray("@cmd|' /C calc'!A0") << QByteArray("'@cmd|' /C calc'!A0");
    QTest::newRow("its own quote") << QByteArray("'=1") << QByteArray("\\x27=1");
    QTest::newRow("TAB first, escaped") << QByteArray("\t=1") << QByteArray("\\x09=1");
    QTest::newRow("separator") << QByteArray("A;B") << QByteArray("\"A;B\"");
    QTest::newRow("UTF-8 as text") << QByteArray("Z\xC3\xBCrich\x1D") << QByteArray("Z\xC3\xBCrich\\x1D");
    QTest::newRow("Latin-1 as bytes") << QByteArray("caf\xE9") << QByteArray("caf\\xE9");
    QTest::newRow("DEL and backslash") << QByteArray("a\x7F\\") << QByteArray("a\\x7F\\\\");
}

void tst_Bench::reportDataCells()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, cell);
    ScanRow r;
    r.number = 7;
    r.data = data;
    r.symbology = Symbology::of(data);
    const QList<QByteArray> fields = BenchReport::csvRow(r).split(';');
    QVERIFY(BenchReport::csvRow(r).endsWith("\r\n"));
    QCOMPARE(fields[0], QByteArray("7"));
    QVERIFY2(BenchReport::csvRow(r).contains(';' + cell + ';'), BenchReport::csvRow(r).constData());
}

// The CSV as a spreadsheet opens it: LibreOffice Calc, headless, reads it
// with ';' between fields and formulas evaluated, as a user's would, and
// writes it back as plain CSV: every scan a row, the accents as they came,
// and the scan that looked like a formula still text.
void tst_Bench::reportInASpreadsheet()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QSKIP("LibreOffice Calc is not installed (libreoffice-calc-nogui)");
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    b.comm->setPortOpen(true);
    b.show("]Q1Z\xC3\xBCrich 3\xE2\x82\xAC\r=1+1\r]E04006381333931\r-2+3\rA;B\r");
    QTRY_COMPARE(bench->table().rowCount(), 5);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("banc.csv"));
    QCOMPARE(bench->saveReport(csv), QString());

    QProcess calc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path()); // its profile goes there
    calc.setProcessEnvironment(env);
    calc.start(soffice, {QStringLiteral("--headless"), QStringLiteral("--infilter=CSV:59,34,76,1,,0,false,false,false,false,true"),
                         QStringLiteral("--convert-to"),
                         QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"),
                         QStringLiteral("--outdir"), dir.filePath(QStringLiteral("out")), csv});
    QVERIFY(calc.waitForFinished(120000));
    QCOMPARE(calc.exitCode(), 0);
    QFile out(dir.filePath(QStringLiteral("out/banc-banc.csv")));
    if (!out.exists())
        out.setFileName(dir.filePath(QStringLiteral("out/banc.csv")));
    QVERIFY2(out.open(QIODevice::ReadOnly), qPrintable(calc.readAllStandardError()));
    QStringList lines = QString::fromUtf8(out.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QVERIFY2(lines[0].startsWith(QStringLiteral("N°,Reçu à,Écart (ms),Longueur,Symbologie,AIM,Contrôle,Liste,État,Données")),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(QStringLiteral(",]Q1Zürich 3€,")), qPrintable(lines[1]));
    QVERIFY2(lines[1].contains(QStringLiteral(",QR Code,")), qPrintable(lines[1]));
    QVERIFY2(lines[2].contains(QStringLiteral(",'=1+1,")), qPrintable(lines[2]));
    QVERIFY2(lines[3].contains(QStringLiteral(",EAN-13,]E0,correct,")), qPrintable(lines[3]));
    QVERIFY2(lines[4].contains(QStringLiteral(",'-2+3,")), qPrintable(lines[4]));
    QVERIFY2(lines[5].contains(QStringLiteral(",\"A;B\",")) || lines[5].contains(QStringLiteral(",A;B,")),
             qPrintable(lines[5]));
}

// "Enregistrer le rapport…" names the files already there before it
// replaces them, the picture too, and writes only on "Oui".
void tst_Bench::reportAsksBeforeReplacing()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    QTemporaryDir dir;
    for (const char *name : {"r.txt", "r.png"}) {
        QFile f(dir.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("OLD");
    }
    bench->findChild<QPushButton *>(QStringLiteral("saveReport"))->click();
    auto *dialog = bench->findChild<QFileDialog *>(QStringLiteral("reportDialog"));
    QVERIFY(dialog);
    emit dialog->fileSelected(dir.filePath(QStringLiteral("r.csv")));
    auto *box = bench->findChild<QMessageBox *>(QStringLiteral("confirmReport"));
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("« ") + dir.filePath(QStringLiteral("r.txt")) + QStringLiteral(" » et « ")
                              + dir.filePath(QStringLiteral("r.png"))
                              + QStringLiteral(" » existent déjà. Voulez-vous les remplacer ?"));
    box->button(QMessageBox::Yes)->click();
    QTRY_VERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("r.csv"))));
    QFile txt(dir.filePath(QStringLiteral("r.txt")));
    QVERIFY(txt.open(QIODevice::ReadOnly));
    QVERIFY(txt.readAll().startsWith("Rapport du banc d'essai Vantrel"));
}

namespace {

// Sets or clears a file's immutable flag: not even root may then replace
// or rename it. False where the file system has no such flag.
bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

} // namespace

// The report's files are written all together or not at all: whatever
// stands in the way of one, the old files stay as they were, nothing is
// left beside them, and the message names the file and the reason.
void tst_Bench::reportAllOrNone_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("failed"); // the file named; empty: written
    QTest::addColumn<QString>("why");

    QTest::newRow("nothing in the way") << "none" << "" << "";
    QTest::newRow("full disk") << "full" << "rapport.csv" << "disque plein";
    QTest::newRow("read-only summary") << "read-only" << "rapport.txt" << "fichier en lecture seule";
    // Refused only once the CSV is in place: the CSV is put back.
    QTest::newRow("summary that cannot be replaced") << "immutable:rapport.txt" << "rapport.txt"
                                                     << "permission refusée";
    QTest::newRow("picture that cannot be replaced") << "immutable:rapport.png" << "rapport.png"
                                                     << "permission refusée";
}

void tst_Bench::reportAllOrNone()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, failed);
    QFETCH(QString, why);

    const QMap<QString, QByteArray> old = {{QStringLiteral("rapport.csv"), "OLD CSV"},
                                           {QStringLiteral("rapport.txt"), "OLD TXT"},
                                           {QStringLiteral("rapport.png"), "OLD PNG"}};
    QTemporaryDir dir;
    QString folder = dir.path();
    std::unique_ptr<FullDisk> full;
    if (obstacle == QLatin1String("full")) {
        full = std::make_unique<FullDisk>(dir.path(), old);
        if (full->path().isEmpty())
            QSKIP("a small disk cannot be mounted here (root only)");
        folder = full->path();
        QFile::remove(folder + QStringLiteral("/x.bin"));
    } else {
        for (auto f = old.begin(); f != old.end(); ++f) {
            QFile file(dir.filePath(f.key()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(f.value());
        }
    }
    if (obstacle == QLatin1String("read-only"))
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("rapport.txt")), QFileDevice::ReadOwner));
    QString immutable;
    if (obstacle.startsWith(QLatin1String("immutable:"))) {
        immutable = dir.filePath(obstacle.mid(10));
        if (!setImmutable(immutable, true))
            QSKIP("this file system has no immutable flag, or we may not set it");
    }
    const auto release = qScopeGuard([&immutable] {
        if (!immutable.isEmpty())
            setImmutable(immutable, false);
    });

    ScanTable table;
    ScanTally tally;
    ScanRow row;
    row.number = 1;
    row.data = "=1+1";
    std::deque<ScanRow> rows;
    rows.push_back(row);
    table.append(std::move(rows));
    ReadRateFigures figures;
    figures.triggers = 10;
    figures.noReads = 1;
    figures.timesMs = {41, 40, 42, 39, 40, 120, 40, 41, 40};
    BenchReport::Session session;
    session.when = QDateTime::currentDateTime();
    session.table = &table;
    session.tally = &tally;
    session.readRate = figures;
    session.readRateSetting = QStringLiteral("10 gâchettes");

    const QString csv = folder + QStringLiteral("/rapport.csv");
    const BenchReport::Written w = BenchReport::write(csv, session);
    QStringList files = QDir(folder).entryList(QDir::Files);
    files.removeOne(QStringLiteral("filler"));
    QCOMPARE(files, QStringList({"rapport.csv", "rapport.png", "rapport.txt"})); // nothing left beside them
    if (failed.isEmpty()) {
        QCOMPARE(w.why, QString());
        QCOMPARE(w.changed, QStringList({csv, folder + QStringLiteral("/rapport.txt"),
                                         folder + QStringLiteral("/rapport.png")}));
        QVERIFY(contentOf(csv).endsWith(";'=1+1;;3D 31 2B 31\r\n"));
        const QImage chart = QImage::fromData(contentOf(folder + QStringLiteral("/rapport.png")), "PNG");
        QCOMPARE(chart.size(), QSize(800, 450));
        return;
    }
    QCOMPARE(w.why, QStringLiteral("« ") + folder + u'/' + failed + QStringLiteral(" » : ") + why
                        + QStringLiteral(" ; aucun fichier modifié"));
    QCOMPARE(w.changed, QStringList());
    for (auto f = old.begin(); f != old.end(); ++f)
        QCOMPARE(contentOf(folder + u'/' + f.key()), f.value());
}

void tst_Bench::fixedCommandReplyIsNoScan()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    b.comm->onWait = [&](int ms) {
        b.comm->arrive("0123456789ABC\r");
        b.clock.advance(std::chrono::milliseconds(ms));
    };
    b.w.Command4_Click();
    QCOMPARE(b.comm->written, QByteArray("48200000000050\r\n"));
    // "Lire buffer" shows what came after: that one is a scan.
    b.comm->setPortOpen(true);
    b.show("96385074\r");
    QTRY_VERIFY(bench->idle());
    QCOMPARE(bench->table().rowCount(), 1);
    QCOMPARE(cell(bench->table(), 0, ScanTable::Data), QStringLiteral("96385074"));

    // A closed bench no longer watches the line; opened again, it does.
    bench->close();
    b.show("4006381333931\r");
    QCOMPARE(bench->table().rowCount(), 1);
    b.w.showBench();
    QCOMPARE(b.w.bench(), bench);
    b.show("036000291452\r");
    QTRY_VERIFY(bench->idle());
    QCOMPARE(bench->table().rowCount(), 2);
    QCOMPARE(cell(bench->table(), 1, ScanTable::Data), QStringLiteral("036000291452"));
}

// A QR code may hold anything: hovered, its data shows as it is.
void tst_Bench::markupInADataTip()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    QVERIFY(QTest::qWaitForWindowExposed(bench));
    b.comm->setPortOpen(true);
    b.show("]Q1<b>x</b><img src=\"nofile.png\">\r");
    QTRY_COMPARE(bench->table().rowCount(), 1);
    auto *view = bench->findChild<QTableView *>(QStringLiteral("scans"));
    const QRect cellRect = view->visualRect(view->model()->index(0, ScanTable::Data));
    QHelpEvent hover(QEvent::ToolTip, cellRect.center(), view->viewport()->mapToGlobal(cellRect.center()));
    QApplication::sendEvent(view->viewport(), &hover);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("<p style=\"white-space:pre-wrap\">]Q1&lt;b&gt;x&lt;/b&gt;"
                                                  "&lt;img src=&quot;nofile.png&quot;&gt;</p>"));
    QToolTip::hideText();
}

void tst_Bench::silenceEndsTheLastScan()
{
    {
        FakeWindow b;
        b.w.showBench();
        BenchWindow *bench = b.w.bench();
        bench->setEnding(ScanFramer::Ending::Silence, 30);
        b.comm->setPortOpen(true);
        const qint64 now = TakenBytes::nowMs();
        b.comm->arriveAt(now, "AB\r");
        b.comm->arriveAt(now + 5, "C");
        b.w.Command5_Click();
        QCOMPARE(bench->countersText(), QStringLiteral("Scans : 0   Défauts : 0   Contrôle faux : 0   Doublons : 0"
                                                       "   Scan en cours : 4 octets"));
        // Nothing more comes: the silence ends it.
        QTRY_COMPARE(bench->table().rowCount(), 1);
        QCOMPARE(cell(bench->table(), 0, ScanTable::Data), QStringLiteral("AB␍C"));
        QCOMPARE(cell(bench->table(), 0, ScanTable::Hex), QStringLiteral("41 42 0D 43"));
        bench->resize(1000, 700);
        b.w.close(); // the bench closes with the program and keeps its options
        QVERIFY(!bench->isVisible());
    }
    FakeWindow b;
    b.w.showBench();
    QCOMPARE(b.w.bench()->findChild<QComboBox *>(QStringLiteral("ending"))->currentText(),
             QStringLiteral("silence entre les octets"));
    QCOMPARE(b.w.bench()->findChild<QSpinBox *>(QStringLiteral("silenceMs"))->value(), 30);
    QCOMPARE(b.w.bench()->size(), QSize(1000, 700));
}

namespace {
// The window on COM1 = a pseudo-terminal, its bench open.
struct PtyBench {
    PtyDevice pty;
    std::unique_ptr<frmVantrel> w;
    BenchWindow *bench = nullptr;
    PtyBench()
    {
        qputenv("VANTREL_COM1", pty.path().toLocal8Bit());
        w = std::make_unique<frmVantrel>();
        w->showBench();
        bench = w->bench();
    }
};
} // namespace

// What a scanner sends, through a real pseudo-terminal, in the automatic
// framing: one row per scan whatever its suffix; a scan of exactly the
// limit is whole; UTF-8 text reads as written.
void tst_Bench::ptyScansAsTheyCome_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QStringList>("lengths");

    QTest::newRow("TAB-ended") << QByteArray("4006381333931\t96385074\t")
                               << QStringList{"4006381333931", "96385074"} << QStringList{"13", "8"};
    QTest::newRow("CR-ended") << QByteArray("4006381333931\r96385074\r")
                              << QStringList{"4006381333931", "96385074"} << QStringList{"13", "8"};
    QTest::newRow("LF-ended") << QByteArray("4006381333931\n96385074\n")
                              << QStringList{"4006381333931", "96385074"} << QStringList{"13", "8"};
    QTest::newRow("16,384 bytes, whole") << QByteArray(16384, '7') + "\r" << QStringList{QString(16384, u'7')}
                                         << QStringList{"16\u202F384"};
    QTest::newRow("UTF-8 text, its length in bytes") << QByteArray("]Q1Z\xC3\xBCrich 3\xE2\x82\xAC\r")
                                                     << QStringList{"]Q1Zürich 3€"} << QStringList{"12"};
}

void tst_Bench::ptyScansAsTheyCome()
{
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, data);
    QFETCH(QStringList, lengths);
    PtyBench b;
    QTRY_VERIFY(b.w->MSComm1->PortOpen());
    b.pty.write(sent);
    QTRY_COMPARE_WITH_TIMEOUT(b.bench->table().rowCount(), data.size(), 10000);
    QTRY_VERIFY(b.bench->idle());
    const ScanTable &t = b.bench->table();
    QCOMPARE(t.rowCount(), data.size());
    for (int r = 0; r < data.size(); ++r) {
        QCOMPARE(cell(t, r, ScanTable::Data), data[r]);
        QCOMPARE(cell(t, r, ScanTable::Length), lengths[r]);
    }
}

// Half a scan, "Eteindre", then a scan once the tick has opened the port
// again: two rows, the first marked unfinished.
void tst_Bench::ptyHalfScanThenEteindre()
{
    PtyBench b;
    QTRY_VERIFY(b.w->MSComm1->PortOpen());
    b.pty.write("40063");
    QTRY_VERIFY(b.w->receptionText().contains(QStringLiteral("40063")));
    b.w->Command2_Click(); // Eteindre
    QTRY_COMPARE(b.bench->table().rowCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(b.w->MSComm1->PortOpen(), 10000); // the tick opens it again
    b.pty.write("96385074\r");
    QTRY_COMPARE_WITH_TIMEOUT(b.bench->table().rowCount(), 2, 10000);
    const ScanTable &t = b.bench->table();
    QCOMPARE(cell(t, 0, ScanTable::Data), QStringLiteral("40063"));
    QCOMPARE(cell(t, 0, ScanTable::Mark), QStringLiteral("inachevé"));
    QCOMPARE(cell(t, 1, ScanTable::Data), QStringLiteral("96385074"));
    QCOMPARE(cell(t, 1, ScanTable::Check), QStringLiteral("correct"));
}

void tst_Bench::ptyScanSplitAcrossTicks()
{
    PtyDevice pty;
    qputenv("VANTREL_COM1", pty.path().toLocal8Bit());
    frmVantrel w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.MSComm1->PortOpen());
    QTest::keyClick(&w, Qt::Key_B, Qt::ControlModifier);
    BenchWindow *bench = w.bench();
    QVERIFY(bench && bench->isVisible());

    // Half a scan, then the rest after more than a tick; then two in one write.
    pty.write("40063");
    QTRY_VERIFY(w.receptionText().contains(QStringLiteral("40063")));
    pty.write("81333931\r");
    QTRY_VERIFY(w.receptionText().contains(QStringLiteral("81333931")));
    pty.write("]E496385074\r\nAB\xE9\r\n");
    QTRY_COMPARE(bench->table().rowCount(), 3);
    QTRY_VERIFY(bench->idle());
    const ScanTable &t = bench->table();
    QCOMPARE(cell(t, 0, ScanTable::Data), QStringLiteral("4006381333931"));
    QCOMPARE(cell(t, 0, ScanTable::Kind), QStringLiteral("EAN-13"));
    QCOMPARE(cell(t, 1, ScanTable::Data), QStringLiteral("]E496385074"));
    QCOMPARE(cell(t, 1, ScanTable::Kind), QStringLiteral("EAN-8 (]E4)"));
    QCOMPARE(cell(t, 2, ScanTable::Data), QStringLiteral("ABé"));
    QCOMPARE(cell(t, 2, ScanTable::Hex), QStringLiteral("41 42 E9"));
    QCOMPARE(cell(t, 2, ScanTable::Gap), QStringLiteral("0"));
    QCOMPARE(bench->countersText(), QStringLiteral("Scans : 3   Défauts : 0   Contrôle faux : 0   Doublons : 0"));
    w.close();
}

// What the settings file keeps of the bench comes back at the next start;
// a value that makes no sense leaves the control at its default.
void tst_Bench::lookRestored_data()
{
    QTest::addColumn<QByteArray>("kept");     // the [Bench] group's lines
    QTest::addColumn<QString>("ending");      // as the list shows it
    QTest::addColumn<int>("silenceMs");
    QTest::addColumn<QList<int>>("test");     // triggers, wait, pause
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("history");

    QTest::newRow("all kept") << QByteArray("ending=crlf\nsilenceMs=120\ntest=50 800 30\ngeometry=10 20 950 600\n"
                                            "history=<ESC>A1<CR>\n")
                              << "CR LF" << 120 << QList<int>{50, 800, 30} << QSize(950, 600)
                              << QStringList{"<ESC>A1<CR>"};
    QTest::newRow("panes unfolded") << QByteArray("panes=test hexa\ntoolsHeight=120\n") << "automatique (CR, LF, CR LF ou TAB)"
                                    << 50 << QList<int>{100, 1000, 200} << QSize(900, 500) << QStringList();
    QTest::newRow("a byte in hex") << QByteArray("ending=byte:1e\n") << "octet (hexadécimal)" << 50
                                   << QList<int>{100, 1000, 200} << QSize(900, 500) << QStringList();
    QTest::newRow("a byte that is no byte") << QByteArray("ending=byte:1FF\n") << "automatique (CR, LF, CR LF ou TAB)"
                                            << 50 << QList<int>{100, 1000, 200} << QSize(900, 500) << QStringList();
    QTest::newRow("nothing kept") << QByteArray() << "automatique (CR, LF, CR LF ou TAB)" << 50
                                  << QList<int>{100, 1000, 200} << QSize(900, 500) << QStringList();
    QTest::newRow("nonsense left at the defaults")
        << QByteArray("ending=morse\nsilenceMs=abc\ntest=1 2\ngeometry=0 0 50 40\n")
        << "automatique (CR, LF, CR LF ou TAB)" << 50 << QList<int>{100, 1000, 200} << QSize(900, 500) << QStringList();
}

void tst_Bench::lookRestored()
{
    QFETCH(QByteArray, kept);
    QFETCH(QString, ending);
    QFETCH(int, silenceMs);
    QFETCH(QList<int>, test);
    QFETCH(QSize, size);
    QFETCH(QStringList, history);
    const QString file = SettingsStore::userFileName();
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Bench]\n" + kept);
    f.close();

    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    QCOMPARE(bench->findChild<QComboBox *>(QStringLiteral("ending"))->currentText(), ending);
    QCOMPARE(bench->findChild<QSpinBox *>(QStringLiteral("silenceMs"))->value(), silenceMs);
    QCOMPARE(bench->findChild<QSpinBox *>(QStringLiteral("silenceMs"))->isEnabled(), false);
    QCOMPARE(bench->findChild<QSpinBox *>(QStringLiteral("triggers"))->value(), test.at(0));
    QCOMPARE(bench->findChild<QSpinBox *>(QStringLiteral("waitMs"))->value(), test.at(1));
    QCOMPARE(bench->findChild<QSpinBox *>(QStringLiteral("pauseMs"))->value(), test.at(2));
    QCOMPARE(bench->size(), size);
    QCOMPARE(bench->findChild<ConsoleLine *>(QStringLiteral("console"))->history(), history);
    // The panels as they were left; folded when nothing says otherwise.
    const bool unfolded = kept.contains("panes=test hexa");
    QCOMPARE(bench->findChild<QToolButton *>(QStringLiteral("showTest"))->isChecked(), unfolded);
    QCOMPARE(bench->findChild<QToolButton *>(QStringLiteral("showConsole"))->isChecked(), false);
    QCOMPARE(bench->findChild<QTableView *>(QStringLiteral("scans"))->isColumnHidden(ScanTable::Hex), !unfolded);
    QCOMPARE(bench->findChild<QWidget *>(QStringLiteral("tools"))->isVisible(), unfolded);
    if (unfolded)
        QCOMPARE(bench->findChild<QSplitter *>(QStringLiteral("panes"))->sizes().value(1), 120);
    if (ending == QStringLiteral("octet (hexadécimal)")) {
        // The byte is the framer's: a scan ends at 0x1E, CR is data.
        QCOMPARE(bench->findChild<QLineEdit *>(QStringLiteral("endByte"))->text(), QStringLiteral("1E"));
        b.comm->setPortOpen(true);
        b.show("AB\rC\x1E" "D\x1E");
        QTRY_COMPARE(bench->table().rowCount(), 2);
        QCOMPARE(cell(bench->table(), 0, ScanTable::Data), QStringLiteral("AB␍C"));
        QCOMPARE(cell(bench->table(), 1, ScanTable::Data), QStringLiteral("D"));
    }
}

// Closing the bench writes its framing and test settings, as keys a person
// can read in the file.
void tst_Bench::lookSaved()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    bench->setEnding(ScanFramer::Ending::Lf, 45);
    QVERIFY(!bench->findChild<QSpinBox *>(QStringLiteral("silenceMs"))->isEnabled());
    bench->setEnding(ScanFramer::Ending::Silence, 45);
    QVERIFY(bench->findChild<QSpinBox *>(QStringLiteral("silenceMs"))->isEnabled());
    bench->findChild<QSpinBox *>(QStringLiteral("triggers"))->setValue(7);
    bench->findChild<QSpinBox *>(QStringLiteral("pauseMs"))->setValue(0);
    // The console unfolded, its pane dragged to 150 px.
    bench->findChild<QToolButton *>(QStringLiteral("showConsole"))->setChecked(true);
    bench->findChild<QToolButton *>(QStringLiteral("showHex"))->setChecked(true);
    auto *panes = bench->findChild<QSplitter *>(QStringLiteral("panes"));
    const int all = panes->sizes().value(0) + panes->sizes().value(1);
    panes->setSizes({all - 150, 150});
    bench->close();

    const QSettings kept(SettingsStore::userFileName(), QSettings::IniFormat);
    QCOMPARE(kept.value(QStringLiteral("Bench/panes")).toString(), QStringLiteral("console hexa"));
    QCOMPARE(kept.value(QStringLiteral("Bench/toolsHeight")).toString(), QStringLiteral("150"));
    QCOMPARE(kept.value(QStringLiteral("Bench/ending")).toString(), QStringLiteral("silence"));
    QCOMPARE(kept.value(QStringLiteral("Bench/silenceMs")).toString(), QStringLiteral("45"));
    QCOMPARE(kept.value(QStringLiteral("Bench/test")).toString(), QStringLiteral("7 1000 0"));
}

// What a screen reader says of each thing the bench shows, its panels
// unfolded, a list loaded and "Codes manquants" open: every control,
// counter, panel and view has a name; a label that names a field is its
// buddy's.
void tst_Bench::readByAScreenReader()
{
    FakeWindow b;
    b.w.showBench();
    BenchWindow *bench = b.w.bench();
    QVERIFY(QTest::qWaitForWindowExposed(bench));
    for (const char *toggle : {"showTest", "showConsole", "showHex"})
        bench->findChild<QToolButton *>(QLatin1String(toggle))->setChecked(true);
    QTemporaryDir dir;
    QFile list(dir.filePath(QStringLiteral("carte.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("A1\nB2\n");
    list.close();
    QSignalSpy loaded(bench, &BenchWindow::listDone);
    bench->loadList(list.fileName());
    QVERIFY(loaded.wait(10000));
    bench->findChild<QPushButton *>(QStringLiteral("showMissing"))->click();

    QStringList nameless;
    QList<QWidget *> widgets = bench->findChildren<QWidget *>();
    widgets << bench->findChild<QListView *>(QStringLiteral("missingCodes"));
    for (QWidget *w : widgets) {
        if (!w || !w->isVisible() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QAbstractSpinBox *>(w)
                          || qobject_cast<QComboBox *>(w) || qobject_cast<QLineEdit *>(w)
                          || qobject_cast<QAbstractItemView *>(w) || qobject_cast<QProgressBar *>(w)
                          || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QScrollArea *>(w);
        auto *label = qobject_cast<QLabel *>(w);
        if (!control && !label)
            continue;
        if (qobject_cast<QLineEdit *>(w) && qobject_cast<QAbstractSpinBox *>(w->parentWidget()))
            continue; // the spin box's own line, named by the spin box
        if (qobject_cast<QLineEdit *>(w) && qobject_cast<QComboBox *>(w->parentWidget()))
            continue; // the same for an editable list
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        QVERIFY(a);
        if (a->text(QAccessible::Name).trimmed().isEmpty() && !(label && label->buddy())
            && !(label && label->text().isEmpty()))
            nameless << QStringLiteral("%1 (%2)").arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()));
    }
    QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));
    // The counters say what they count and what a click does.
    auto *faults = bench->findChild<QToolButton *>(QStringLiteral("only%1").arg(int(ScanTable::Only::Faults)));
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(faults);
    QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Défauts : 0"));
    QVERIFY(a->text(QAccessible::Description).startsWith(QStringLiteral("Ne montrer que les lignes en défaut")));
    QCOMPARE(QAccessible::queryAccessibleInterface(bench->findChild<QListView *>(QStringLiteral("missingCodes")))
                 ->text(QAccessible::Name),
             QStringLiteral("Codes manquants : 2 sur 2"));
}

QTEST_MAIN(tst_Bench)
#include "tst_bench.moc"
