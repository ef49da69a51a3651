#include "BenchWindow.h"
#include "FakeWindow.h"
#include "ScanTable.h"
#include "SimProcess.h"
#include "frmVantrel.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QTest>

// The window as it is drawn, at the scale CTest gives this run
// (QT_SCALE_FACTOR, QT_FONT_DPI) and with the desktop font sizes of the
// table: every caption whole and centred with a margin, all eight list items
// without a scroll bar, every frame edge drawn. Each case also leaves its
// picture in look/ beside the test, for the eye.
class tst_Look : public QObject
{
    Q_OBJECT
private slots:
    void fits_data();
    void fits();
    void grows();
    void benchAtItsFirstSize();
};

void tst_Look::fits_data()
{
    QTest::addColumn<int>("desktopPoints"); // 0: the platform's own
    QTest::newRow("platform font") << 0;
    QTest::newRow("9 pt desktop") << 9;
    QTest::newRow("10 pt desktop (KDE)") << 10;
    QTest::newRow("11 pt desktop (GNOME)") << 11;
}

void tst_Look::fits()
{
    QFETCH(int, desktopPoints);
    const QFont platform = QApplication::font();
    if (desktopPoints > 0) {
        QFont desktop = platform;
        desktop.setPointSize(desktopPoints);
        QApplication::setFont(desktop);
    }
    FakeWindow b;
    b.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.w));
    const double scale = b.w.logicalDpiY() / 96.0; // what QT_FONT_DPI adds to the layout
    const int margin = qRound(4 * scale);

    // Captions: whole, with a margin on each side, centred.
    const QList<QPushButton *> buttons = b.w.findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 5);
    for (QPushButton *button : buttons) {
        const QFontMetrics fm = button->fontMetrics();
        const int text = fm.horizontalAdvance(button->text());
        QVERIFY2(button->width() - text >= 2 * margin,
                 qPrintable(QStringLiteral("%1: %2 px of text in %3").arg(button->text()).arg(text).arg(button->width())));
        QVERIFY(button->height() - fm.height() >= margin);
    }
    for (QLabel *label : {b.w.Label1, b.w.Label2})
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(label->text()));

    // The list: all eight items inside it, no scroll bar.
    QVERIFY(!b.w.List1->verticalScrollBar()->isVisible());
    const QRect last = b.w.List1->visualItemRect(b.w.List1->item(7));
    QVERIFY2(last.bottom() < b.w.List1->viewport()->height(),
             qPrintable(QStringLiteral("item 8 ends at %1 of %2").arg(last.bottom()).arg(b.w.List1->viewport()->height())));

    // Frames: each edge of the list, the box and the status line is drawn
    // (not the window's background) along its whole length.
    const QImage shot = b.w.grab().toImage();
    auto restore = qScopeGuard([&] { QApplication::setFont(platform); });
    QDir().mkpath(QStringLiteral("look"));
    QString name = QString::fromLatin1(QTest::currentDataTag()).section(u' ', 0, 1);
    name.replace(u' ', u'-');
    shot.save(QStringLiteral("look/%1-%2.png").arg(qEnvironmentVariable("VANTREL_LOOK", QStringLiteral("1x")), name));
    const double dpr = shot.devicePixelRatio();
    const QRgb background = b.w.palette().color(QPalette::Window).rgb();
    for (QWidget *framed : {static_cast<QWidget *>(b.w.List1), static_cast<QWidget *>(b.w.Text1),
                            static_cast<QWidget *>(b.w.StatusLine)}) {
        const QRect g = framed->geometry();
        const int l = int(g.left() * dpr), t = int(g.top() * dpr);
        const int r = int((g.right() + 1) * dpr) - 1, btm = int((g.bottom() + 1) * dpr) - 1;
        // An edge counts as drawn when a line one pixel either side of
        // where the rounding puts it differs from the background along 90 %
        // of its length.
        auto drawn = [&](QPoint from, QPoint step, int n) {
            const QPoint across(step.y(), step.x());
            for (int d = -1; d <= 1; ++d) {
                int count = 0;
                for (int i = 0; i < n; ++i) {
                    const QPoint p = from + across * d + step * i;
                    count += shot.valid(p) && shot.pixel(p) != background;
                }
                if (count >= n * 9 / 10)
                    return true;
            }
            return false;
        };
        const int w = r - l - 3, h = btm - t - 3;
        QVERIFY2(drawn({l + 2, t}, {1, 0}, w), qPrintable(framed->objectName() + QStringLiteral(" top")));
        QVERIFY2(drawn({l + 2, btm}, {1, 0}, w), qPrintable(framed->objectName() + QStringLiteral(" bottom")));
        QVERIFY2(drawn({l, t + 2}, {0, 1}, h), qPrintable(framed->objectName() + QStringLiteral(" left")));
        QVERIFY2(drawn({r, t + 2}, {0, 1}, h), qPrintable(framed->objectName() + QStringLiteral(" right")));
    }

}

// Enlarged by the operator, at this scale and as drawn: the box and the
// status line take the room, the other controls stay.
void tst_Look::grows()
{
    FakeWindow b;
    b.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.w));
    const QSize base = b.w.size();
    const QRect list = b.w.List1->geometry(), button = b.w.Command4->geometry(), length = b.w.Text3->geometry();
    const QRect box = b.w.Text1->geometry(), status = b.w.StatusLine->geometry();
    b.w.resize(base + QSize(240, 180));
    QTRY_COMPARE(b.w.Text1->geometry(), box.adjusted(0, 0, 240, 180));
    QCOMPARE(b.w.StatusLine->geometry(), status.translated(0, 180).adjusted(0, 0, 240, 0));
    QCOMPARE(b.w.List1->geometry(), list);
    QCOMPARE(b.w.Command4->geometry(), button);
    QCOMPARE(b.w.Text3->geometry(), length);
    QCOMPARE(b.w.Label1->geometry().bottom() + 1 - b.w.Text1->geometry().top(), 1); // still overlapping its box's edge

    const QImage shot = b.w.grab().toImage(); // for the eye: build/tests/look/
    shot.save(QStringLiteral("look/%1-grown.png").arg(qEnvironmentVariable("VANTREL_LOOK", QStringLiteral("1x"))));
    b.w.resize(base);
}

// The bench at its first size (900 x 500) after a read-rate test of 200
// triggers, its panel unfolded: the table still shows 12 rows or more, and
// every column it shows has its header whole, without a scroll bar across.
// The numbers are French whatever the process's locale.
void tst_Look::benchAtItsFirstSize()
{
    QLocale::setDefault(QLocale::c()); // "2,500" in C; the bench must say "2 500"
    const auto back = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
    SimProcess sim;
    QVERIFY(sim.start({"--aim", "--no-read", "0.1", "--delay", "5", "--codes",
                       "4006381333931,96385074,15400141288763,036000291452,CODE-39-A"}));
    qputenv("VANTREL_COM1", sim.path().toLocal8Bit());
    frmVantrel w;
    w.show();
    QVERIFY(w.openPort());
    w.showBench();
    BenchWindow *bench = w.bench();
    QVERIFY(QTest::qWaitForWindowExposed(bench));
    QCOMPARE(bench->size(), QSize(900, 500));
    QSignalSpy done(&bench->readRateTest(), &ReadRateTest::finished);
    QCOMPARE(bench->startReadRate(200, 300, 0), QString());
    QVERIFY(done.wait(120000));
    QTRY_VERIFY(bench->idle());
    QCOMPARE(bench->table().rowCount(), 200);

    auto *view = bench->findChild<QTableView *>(QStringLiteral("scans"));
    const int rows = view->viewport()->height() / view->rowHeight(0);
    const QString look = qEnvironmentVariable("VANTREL_LOOK", QStringLiteral("1x"));
    bench->grab().toImage().save(QStringLiteral("look/%1-bench.png").arg(look)); // for the eye
    QVERIFY2(rows >= 12, qPrintable(QString::number(rows)));
    // Every no-read is a row, and a fault, counted as it comes.
    int noReads = 0;
    for (const ScanRow &r : bench->table().rows())
        noReads += r.mark == ScanTally::Mark::NoRead;
    QCOMPARE(bench->readRateTest().figures().noReads, noReads);
    QVERIFY(bench->countersText().startsWith(QStringLiteral("Scans : 0   Défauts : %1   ").arg(noReads)));
    QHeaderView *header = view->horizontalHeader();
    const int margin = 2 * bench->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c))
            continue;
        const QString title = view->model()->headerData(c, Qt::Horizontal).toString();
        QVERIFY2(header->sectionSize(c) >= header->fontMetrics().horizontalAdvance(title) + margin,
                 qPrintable(QStringLiteral("%1: %2 px").arg(title).arg(header->sectionSize(c))));
    }
    QVERIFY(header->isSectionHidden(ScanTable::Hex)); // on demand
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    // French numbers in the test's panel, whatever the locale.
    QVERIFY(bench->readRateText().startsWith(QStringLiteral("Test de lecture (200 gâchettes, attente 300 ms, pause 0 ms)")));
    auto *wait = bench->findChild<QSpinBox *>(QStringLiteral("waitMs"));
    wait->setValue(2500);
    QCOMPARE(wait->text(), QStringLiteral("2\u202F500 ms"));
    w.close();
    QCOMPARE(sim.stop(), 0);
}

QTEST_MAIN(tst_Look)
#include "tst_look.moc"
