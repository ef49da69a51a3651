#include "BenchWindow.h"

#include "BenchReport.h"
#include "CommControl.h"
#include "ConsoleEscapes.h"
#include "ConsoleLine.h"
#include "PortAssignments.h"
#include "PlainToolTips.h"
#include "SettingsStore.h"
#include "TargetFile.h"

#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString Group = QStringLiteral("Bench");

struct EndingName {
    ScanFramer::Ending ending;
    const char *key;   // in the settings
    const char *shown; // in the list
};
const EndingName Endings[] = {
    {ScanFramer::Ending::Automatic, "automatic", "automatique (CR, LF ou CR LF)"},
    {ScanFramer::Ending::Cr, "cr", "CR"},
    {ScanFramer::Ending::Lf, "lf", "LF"},
    {ScanFramer::Ending::CrLf, "crlf", "CR LF"},
    {ScanFramer::Ending::Silence, "silence", "silence entre les octets"},
};

QString french(qint64 n)
{
    return QLocale(QLocale::French).toString(n);
}

} // namespace

BenchWindow::BenchWindow(CommControl *comm, PortAssignments &ports, QWidget *parent)
    : QWidget(parent, Qt::Window), m_comm(comm), m_ports(ports), m_test(comm)
{
    setObjectName(QStringLiteral("BenchWindow"));
    setWindowTitle(QStringLiteral("Banc d'essai — Vantrel"));
    resize(900, 500);

    m_ending = new QComboBox(this);
    m_ending->setObjectName(QStringLiteral("ending"));
    for (const EndingName &e : Endings)
        m_ending->addItem(QString::fromUtf8(e.shown));
    m_ending->setAccessibleName(QStringLiteral("Fin d'un scan"));
    m_silence = new QSpinBox(this);
    m_silence->setObjectName(QStringLiteral("silenceMs"));
    m_silence->setRange(1, 10000);
    m_silence->setValue(ScanFramer::DefaultSilenceMs);
    m_silence->setSuffix(QStringLiteral(" ms"));
    m_silence->setAccessibleName(QStringLiteral("Silence qui termine un scan"));
    auto *endingLabel = new QLabel(QStringLiteral("&Fin d'un scan :"), this);
    endingLabel->setBuddy(m_ending);
    auto *silenceLabel = new QLabel(QStringLiteral("&Silence :"), this);
    silenceLabel->setBuddy(m_silence);

    auto *load = new QPushButton(QStringLiteral("&Codes attendus…"), this);
    load->setObjectName(QStringLiteral("loadList"));
    m_missing = new QPushButton(QStringLiteral("Codes &manquants"), this);
    m_missing->setObjectName(QStringLiteral("showMissing"));
    auto *clear = new QPushButton(QStringLiteral("&Remettre à zéro"), this);
    clear->setObjectName(QStringLiteral("reset"));
    auto *report = new QPushButton(QStringLiteral("&Enregistrer le rapport…"), this);
    report->setObjectName(QStringLiteral("saveReport"));

    m_counters = new QLabel(this);
    m_counters->setObjectName(QStringLiteral("counters"));
    m_counters->setTextFormat(Qt::PlainText);
    m_counters->setAccessibleName(QStringLiteral("Compteurs"));
    m_counters->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setTextFormat(Qt::PlainText); // paths and reasons come from outside
    m_message->setWordWrap(true);
    m_message->setAccessibleName(QStringLiteral("Message"));

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("scans"));
    m_view->setModel(&m_table);
    m_view->setAccessibleName(QStringLiteral("Scans"));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setStretchLastSection(true);
    // A scan's data is outside text: its tooltip never reads as markup.
    (new PlainToolTips(this))->watchItems(m_view);
    // The table follows the newest row while its end is in view; scrolled
    // up by the operator, it stays where it was put.
    QScrollBar *bar = m_view->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int max) {
        if (m_following)
            bar->setValue(max);
    });
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { m_following = value == bar->maximum(); });
    const int widths[ScanTable::ColumnCount] = {60, 95, 80, 70, 170, 120, 80, 220, 200};
    for (int c = 0; c < ScanTable::ColumnCount; ++c)
        m_view->setColumnWidth(c, widths[c]);

    // The read-rate test.
    const auto spin = [this](const char *name, int from, int to, int value, const QString &suffix, const QString &a11y) {
        auto *box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(from, to);
        box->setValue(value);
        box->setSuffix(suffix);
        box->setAccessibleName(a11y);
        box->setGroupSeparatorShown(true);
        return box;
    };
    m_triggers = spin("triggers", 1, 100000, 100, QString(), QStringLiteral("Nombre de gâchettes"));
    m_waitMs = spin("waitMs", 10, 60000, 1000, QStringLiteral(" ms"), QStringLiteral("Attente d'un scan"));
    m_pauseMs = spin("pauseMs", 0, 60000, 200, QStringLiteral(" ms"), QStringLiteral("Pause entre deux gâchettes"));
    m_runTest = new QPushButton(QStringLiteral("&Test de lecture"), this);
    m_runTest->setObjectName(QStringLiteral("runTest"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("testProgress"));
    m_progress->setAccessibleName(QStringLiteral("Avancement du test"));
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_progress->setValue(0);
    m_testResult = new QLabel(this);
    m_testResult->setObjectName(QStringLiteral("testResult"));
    m_testResult->setTextFormat(Qt::PlainText);
    m_testResult->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_testResult->setAccessibleName(QStringLiteral("Résultat du test de lecture"));
    m_testResult->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    // The console.
    m_console = new ConsoleLine(this);
    m_console->setObjectName(QStringLiteral("console"));
    m_console->setAccessibleName(QStringLiteral("Commande à envoyer"));
    m_console->setPlaceholderText(QStringLiteral("<ESC>A1<CR>   \\x1B, \\r, \\n, <GS>…   ↑ ↓ : commandes précédentes"));
    m_send = new QPushButton(QStringLiteral("En&voyer"), this);
    m_send->setObjectName(QStringLiteral("send"));
    m_exchangesView = new QPlainTextEdit(this);
    m_exchangesView->setObjectName(QStringLiteral("exchanges"));
    m_exchangesView->setReadOnly(true);
    m_exchangesView->setAccessibleName(QStringLiteral("Échanges de la console"));
    m_exchangesView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_exchangesView->setMaximumBlockCount(MaxExchanges * 4);
    m_exchangesView->setFixedHeight(m_exchangesView->fontMetrics().lineSpacing() * 5 + 12);
    auto *consoleLabel = new QLabel(QStringLiteral("C&onsole :"), this);
    consoleLabel->setBuddy(m_console);

    auto *options = new QHBoxLayout;
    options->addWidget(endingLabel);
    options->addWidget(m_ending);
    options->addSpacing(12);
    options->addWidget(silenceLabel);
    options->addWidget(m_silence);
    options->addStretch();
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {load, m_missing, clear, report})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addLayout(buttons);
    layout->addWidget(m_counters);
    layout->addWidget(m_view, 1);
    auto *test = new QHBoxLayout;
    const std::pair<const char *, QSpinBox *> testFields[] = {
        {"&Gâchettes :", m_triggers}, {"&Attente :", m_waitMs}, {"&Pause :", m_pauseMs}};
    for (const auto &[label, box] : testFields) {
        auto *l = new QLabel(QString::fromUtf8(label), this);
        l->setBuddy(box);
        test->addWidget(l);
        test->addWidget(box);
    }
    test->addWidget(m_runTest);
    test->addWidget(m_progress, 1);
    layout->addLayout(test);
    layout->addWidget(m_testResult);
    auto *console = new QHBoxLayout;
    console->addWidget(consoleLabel);
    console->addWidget(m_console, 1);
    console->addWidget(m_send);
    layout->addLayout(console);
    layout->addWidget(m_exchangesView);
    layout->addWidget(m_message);

    m_passTimer.setSingleShot(true);
    m_passTimer.setInterval(0);
    connect(&m_passTimer, &QTimer::timeout, this, &BenchWindow::pass);
    m_silenceTimer.setSingleShot(true);
    connect(&m_silenceTimer, &QTimer::timeout, this, &BenchWindow::checkSilence);

    restoreLook();
    connect(m_ending, &QComboBox::currentIndexChanged, this, &BenchWindow::optionsChanged);
    connect(m_silence, &QSpinBox::valueChanged, this, &BenchWindow::optionsChanged);
    connect(load, &QPushButton::clicked, this, &BenchWindow::askListFile);
    connect(m_missing, &QPushButton::clicked, this, &BenchWindow::showMissing);
    connect(clear, &QPushButton::clicked, this, &BenchWindow::reset);
    connect(report, &QPushButton::clicked, this, &BenchWindow::askReportFile);
    connect(m_runTest, &QPushButton::clicked, this, &BenchWindow::runOrStopTest);
    connect(&m_test, &ReadRateTest::progress, this, [this](int done, int total) {
        m_progress->setMaximum(total);
        m_progress->setValue(done);
    });
    connect(&m_test, &ReadRateTest::finished, this, &BenchWindow::testFinished);
    connect(&m_test, &ReadRateTest::takeWanted, this, &BenchWindow::takeWanted);
    const auto send = [this] {
        if (!m_console->text().isEmpty())
            sendCommand(m_console->text());
    };
    connect(m_send, &QPushButton::clicked, this, send);
    connect(m_console, &QLineEdit::returnPressed, this, send);
    if (m_comm)
        connect(m_comm, &CommControl::sent, this, [this](const QByteArray &bytes, qint64 ms) { m_lastSent = {bytes, ms}; });
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    updateCounters();
}

BenchWindow::~BenchWindow()
{
    if (isVisible())
        saveLook();
}

void BenchWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return; // minimised: still watching
    m_test.stop(); // a closed bench sees no scan: its test would count none
    saveLook();
    emit hidden();
}

// ---------------------------------------------------------------------------
// Takes, scans and rows

void BenchWindow::take(const TakenBytes &taken)
{
    // Cut into pieces of about PieceBytes, so that a pass never frames more
    // than that at once; a long read keeps its stamp in every piece.
    TakenBytes piece;
    qsizetype at = 0;
    for (const TakenBytes::Read &read : taken.reads) {
        while (at < read.end) {
            const qsizetype n = qMin(read.end - at, PieceBytes - piece.bytes.size());
            piece.bytes += taken.bytes.mid(at, n);
            piece.reads.append({piece.bytes.size(), read.ms});
            at += n;
            if (piece.bytes.size() == PieceBytes) {
                m_queue.push_back(std::move(piece));
                piece = {};
            }
        }
    }
    if (!piece.bytes.isEmpty())
        m_queue.push_back(std::move(piece));
    m_silenceTimer.stop();
    if (!m_passTimer.isActive())
        pass();
}

void BenchWindow::addScans(QList<FramedScan> scans, std::deque<ScanRow> &rows)
{
    const qint64 wallOffset = QDateTime::currentMSecsSinceEpoch() - TakenBytes::nowMs();
    for (FramedScan &s : scans) {
        ScanRow r;
        r.number = ++m_number;
        r.wallMs = s.firstMs + wallOffset;
        r.gapMs = m_lastFirstMs < 0 ? -1 : s.firstMs - m_lastFirstMs;
        m_lastFirstMs = s.firstMs;
        r.cut = s.cut;
        if (BenchReport::Exchange *e = exchangeAnswered(s.firstMs)) {
            // An answer to the console: named when it ends in ACK or NAK.
            r.mark = ScanTally::Mark::Reply;
            r.symbology.name = s.data.endsWith('\x06') ? QStringLiteral("ACK")
                             : s.data.endsWith('\x15') ? QStringLiteral("NAK") : QStringLiteral("—");
            e->replies.append(s.data);
            exchangeLine(r.wallMs, false, s.data);
        } else {
            r.symbology = Symbology::of(s.data);
            r.mark = m_tally.count(Symbology::payload(s.data).toByteArray(),
                                   r.symbology.check == Symbology::Check::Wrong);
            m_test.scanFramed(s.firstMs);
        }
        r.data = std::move(s.data);
        rows.push_back(std::move(r));
    }
}

void BenchWindow::pass()
{
    QElapsedTimer spent;
    spent.start();
    std::deque<ScanRow> rows;
    while (!m_queue.empty() && spent.elapsed() < PassBudgetMs) {
        addScans(m_framer.feed(m_queue.front()), rows);
        m_queue.pop_front();
    }
    if (!rows.empty())
        m_table.append(std::move(rows));
    if (!m_queue.empty()) {
        m_passTimer.start();
    } else if (m_framer.ending() == ScanFramer::Ending::Silence && m_framer.pendingBytes() > 0) {
        m_silenceTimer.start(m_framer.silenceMs());
    }
    updateCounters();
}

// The line has been quiet since the silence timer started: the scan in
// progress ends, unless bytes were read that no take has brought yet.
void BenchWindow::checkSilence()
{
    std::optional<FramedScan> scan = m_framer.closeIfSilent(TakenBytes::nowMs(), m_comm ? m_comm->lastReadMs() : 0);
    if (!scan) {
        if (m_framer.pendingBytes() > 0 && m_queue.empty())
            m_silenceTimer.start(m_framer.silenceMs());
        return;
    }
    std::deque<ScanRow> rows;
    addScans({*scan}, rows);
    m_table.append(std::move(rows));
    updateCounters();
}

void BenchWindow::reset()
{
    m_queue.clear();
    m_passTimer.stop();
    m_silenceTimer.stop();
    m_framer.clear();
    m_table.clear();
    m_tally.reset();
    m_lastFirstMs = -1;
    m_number = 0;
    updateCounters();
    showMessage({});
}

QString BenchWindow::countersText() const
{
    QString t = QStringLiteral("Scans : ") + french(m_tally.scans())
        + QStringLiteral("   Contrôle faux : ") + french(m_tally.checkFaults())
        + QStringLiteral("   Doublons : ") + french(m_tally.duplicates());
    if (m_tally.hasList())
        t += QStringLiteral("   Inattendus : ") + french(m_tally.unexpected())
            + QStringLiteral("   Manquants : ") + french(m_tally.missingCount())
            + QStringLiteral(" sur ") + french(m_tally.expected().size());
    if (m_table.left() > 0)
        t += QStringLiteral("   Sortis du tableau : ") + french(m_table.left());
    if (const qsizetype pending = m_framer.pendingBytes())
        t += QStringLiteral("   Scan en cours : ") + french(pending) + QStringLiteral(" octet")
            + (pending > 1 ? QStringLiteral("s") : QString());
    return t;
}

void BenchWindow::updateCounters()
{
    m_counters->setText(countersText());
    m_missing->setEnabled(m_tally.hasList());
}

void BenchWindow::showMessage(const QString &text)
{
    m_message->setText(text);
}

// ---------------------------------------------------------------------------
// Options

void BenchWindow::setEnding(ScanFramer::Ending ending, int silenceMs)
{
    for (int i = 0; i < int(std::size(Endings)); ++i)
        if (Endings[i].ending == ending)
            m_ending->setCurrentIndex(i);
    m_silence->setValue(silenceMs);
    optionsChanged();
}

void BenchWindow::optionsChanged()
{
    const ScanFramer::Ending ending = Endings[qBound(0, m_ending->currentIndex(), int(std::size(Endings)) - 1)].ending;
    m_silence->setEnabled(ending == ScanFramer::Ending::Silence);
    if (ending != m_framer.ending() || m_silence->value() != m_framer.silenceMs()) {
        m_framer.setEnding(ending, m_silence->value());
        if (m_queue.empty() && ending == ScanFramer::Ending::Silence && m_framer.pendingBytes() > 0)
            m_silenceTimer.start(m_framer.silenceMs());
        updateCounters();
    }
}

void BenchWindow::restoreLook()
{
    const QHash<QString, QString> kept = SettingsStore(m_ports.settingsFile()).values(Group);
    const QStringList g = kept.value(QStringLiteral("geometry")).split(u' ');
    if (g.size() == 4) {
        const int w = g[2].toInt(), h = g[3].toInt();
        if (w >= 200 && h >= 150 && w < 20000 && h < 20000) {
            resize(w, h);
            move(g[0].toInt(), g[1].toInt());
        }
    }
    const QString key = kept.value(QStringLiteral("ending"));
    for (int i = 0; i < int(std::size(Endings)); ++i)
        if (key == QLatin1String(Endings[i].key))
            m_ending->setCurrentIndex(i);
    bool ok = false;
    const int silence = kept.value(QStringLiteral("silenceMs")).toInt(&ok);
    if (ok)
        m_silence->setValue(silence);
    const QStringList test = kept.value(QStringLiteral("test")).split(u' ');
    if (test.size() == 3) {
        m_triggers->setValue(test[0].toInt());
        m_waitMs->setValue(test[1].toInt());
        m_pauseMs->setValue(test[2].toInt());
    }
    const QString history = kept.value(QStringLiteral("history"));
    m_console->setHistory(history.isEmpty() ? QStringList() : history.split(u'\n'));
    optionsChanged();
}

void BenchWindow::saveLook() const
{
    const QRect g = geometry();
    const int i = qBound(0, m_ending->currentIndex(), int(std::size(Endings)) - 1);
    SettingsStore(m_ports.settingsFile())
        .writeValues(Group, {{QStringLiteral("geometry"),
                              QStringLiteral("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())},
                             {QStringLiteral("ending"), QString::fromLatin1(Endings[i].key)},
                             {QStringLiteral("silenceMs"), QString::number(m_silence->value())},
                             {QStringLiteral("test"), QStringLiteral("%1 %2 %3")
                                                          .arg(m_triggers->value())
                                                          .arg(m_waitMs->value())
                                                          .arg(m_pauseMs->value())}});
}

// ---------------------------------------------------------------------------
// Expected codes

QString BenchWindow::loadList(const QString &file)
{
    QString why;
    const std::optional<QByteArray> bytes = TargetFile::readRegular(file, qint64(16) << 20, &why);
    if (!bytes) {
        why = QStringLiteral("Liste non chargée : « ") + file + QStringLiteral(" » : ") + why;
        showMessage(why);
        return why;
    }
    const QList<QByteArray> codes = ScanTally::parseList(*bytes);
    if (codes.isEmpty()) {
        why = QStringLiteral("Liste non chargée : « ") + file + QStringLiteral(" » ne contient aucun code.");
        showMessage(why);
        return why;
    }
    m_listFile = file;
    m_tally.setExpected(codes);
    m_table.clear();
    m_lastFirstMs = -1;
    m_number = 0;
    updateCounters();
    showMessage(QStringLiteral("%1 codes attendus chargés depuis « ").arg(french(codes.size())) + file
                + QStringLiteral(" » ; le décompte repart de zéro."));
    return {};
}

void BenchWindow::askListFile()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("Codes attendus"));
    dialog->setObjectName(QStringLiteral("listDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters({QStringLiteral("Listes de codes (*.txt *.csv)"), QStringLiteral("Tous les fichiers (*)")});
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &file) { loadList(file); });
    dialog->open();
}

void BenchWindow::showMissing()
{
    if (!m_missingWindow) {
        m_missingWindow = new QPlainTextEdit(this);
        m_missingWindow->setWindowFlag(Qt::Window);
        m_missingWindow->setObjectName(QStringLiteral("missingCodes"));
        m_missingWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_missingWindow->setReadOnly(true);
        m_missingWindow->resize(320, 400);
    }
    const QList<QByteArray> missing = m_tally.missing();
    QString text;
    for (const QByteArray &code : missing)
        text += QString::fromLatin1(BenchReport::escaped(code)) + u'\n';
    QPlainTextEdit *edit = m_missingWindow;
    edit->setPlainText(text);
    edit->setWindowTitle(QStringLiteral("Codes manquants : %1 sur %2").arg(french(missing.size()), french(m_tally.expected().size())));
    edit->setAccessibleName(edit->windowTitle());
    edit->show();
    edit->raise();
}

// ---------------------------------------------------------------------------
// Report

QString BenchWindow::saveReport(const QString &csvFile)
{
    BenchReport::Session s;
    s.when = QDateTime::currentDateTime();
    s.devicePath = m_comm ? m_comm->devicePath() : QString();
    for (const SerialDevice &d : m_ports.present())
        if (!s.devicePath.isEmpty() && d.isNamedBy(s.devicePath))
            s.device = d;
    if (m_comm)
        s.line = m_comm->line();
    s.framing = m_ending->currentText();
    if (m_framer.ending() == ScanFramer::Ending::Silence)
        s.framing += QStringLiteral(" de %1 ms").arg(m_framer.silenceMs());
    s.listFile = m_listFile;
    s.readRate = m_lastTest;
    s.readRateSetting = m_lastTestSetting;
    s.exchanges = m_exchanges;
    s.table = &m_table;
    s.tally = &m_tally;
    const QString why = BenchReport::write(csvFile, s);
    showMessage(why.isEmpty() ? QStringLiteral("Rapport enregistré : « ") + csvFile + QStringLiteral(" » et « ")
                                    + BenchReport::summaryPathFor(csvFile) + QStringLiteral(" ».")
                              : QStringLiteral("Rapport non enregistré : ") + why);
    return why;
}

void BenchWindow::askReportFile()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("Enregistrer le rapport"));
    dialog->setObjectName(QStringLiteral("reportDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilters({QStringLiteral("Rapport CSV (*.csv)")});
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("banc-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                       + QStringLiteral(".csv"));
    // The dialog's own question would run a loop of its own.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &file) {
        const QString summary = BenchReport::summaryPathFor(file);
        if (!QFileInfo::exists(file) && !QFileInfo::exists(summary)) {
            saveReport(file);
            return;
        }
        auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("Enregistrer le rapport"),
                                    QStringLiteral("« ") + file + QStringLiteral(" » ou « ") + summary
                                        + QStringLiteral(" » existe déjà. Voulez-vous les remplacer ?"),
                                    QMessageBox::Yes | QMessageBox::No, this);
        box->setObjectName(QStringLiteral("confirmReport"));
        box->setTextFormat(Qt::PlainText);
        box->setDefaultButton(QMessageBox::No);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QMessageBox::finished, this, [this, file](int answer) {
            if (answer == QMessageBox::Yes)
                saveReport(file);
        });
        box->open();
    });
    dialog->open();
}

// ---------------------------------------------------------------------------
// Read-rate test

QString BenchWindow::startReadRate(int triggers, int waitMs, int pauseMs)
{
    m_triggers->setValue(triggers);
    m_waitMs->setValue(waitMs);
    m_pauseMs->setValue(pauseMs);
    QString why;
    // Scans that end by silence end that much after their last byte.
    const int framingGrace = m_framer.ending() == ScanFramer::Ending::Silence ? m_framer.silenceMs() : 0;
    m_progress->setMaximum(m_triggers->value());
    m_progress->setValue(0);
    m_lastTestSetting = QStringLiteral("%1 gâchettes, attente %2 ms, pause %3 ms")
                            .arg(m_triggers->value())
                            .arg(m_waitMs->value())
                            .arg(m_pauseMs->value());
    if (!m_test.start(m_triggers->value(), m_waitMs->value(), m_pauseMs->value(), framingGrace, &why)) {
        showMessage(QStringLiteral("Test de lecture non lancé : ") + why);
        return why;
    }
    if (!m_test.running())
        return {}; // ended at once (the port closed under the first trigger)
    m_runTest->setText(QStringLiteral("Arrêter le &test"));
    m_send->setEnabled(false);
    m_testResult->setText(QStringLiteral("Test de lecture en cours : ") + m_lastTestSetting);
    showMessage({});
    return {};
}

void BenchWindow::runOrStopTest()
{
    if (m_test.running())
        m_test.stop();
    else
        startReadRate(m_triggers->value(), m_waitMs->value(), m_pauseMs->value());
}

void BenchWindow::testFinished(const ReadRateFigures &figures, const QString &why)
{
    m_lastTest = figures;
    m_runTest->setText(QStringLiteral("&Test de lecture"));
    m_send->setEnabled(true);
    m_testResult->setText(readRateText());
    if (!why.isEmpty())
        showMessage(QStringLiteral("Test de lecture ") + (why == QStringLiteral("arrêté") ? why : QStringLiteral("arrêté : ") + why)
                    + QStringLiteral(" après %1 gâchette%2.").arg(figures.triggers).arg(figures.triggers > 1 ? QStringLiteral("s") : QString()));
}

QString BenchWindow::readRateText() const
{
    if (!m_lastTest)
        return {};
    return QStringLiteral("Test de lecture (") + m_lastTestSetting + QStringLiteral(") : ") + m_lastTest->readsText()
        + QStringLiteral("\nGâchette → données : ") + m_lastTest->timesText() + u'\n' + m_lastTest->histogramText().trimmed();
}

// ---------------------------------------------------------------------------
// Console

QString BenchWindow::sendCommand(const QString &typed)
{
    QString why;
    const std::optional<QByteArray> bytes = ConsoleEscapes::bytesOf(typed, &why);
    if (bytes && bytes->isEmpty())
        why = QStringLiteral("rien à envoyer");
    else if (bytes && m_test.running())
        why = QStringLiteral("un test de lecture est en cours");
    else if (bytes && (!m_comm || !m_comm->PortOpen()))
        why = QStringLiteral("le port est fermé : cliquez sur « Allumer » ou attendez que le minuteur le rouvre.");
    if (!why.isEmpty()) {
        showMessage(QStringLiteral("Commande non envoyée : ") + why);
        return why;
    }
    m_lastSent = {{}, -1};
    m_comm->setOutput(QString::fromLatin1(*bytes));
    if (m_lastSent.second < 0) {
        why = QStringLiteral("l'écriture sur le port a échoué.");
        showMessage(QStringLiteral("Commande non envoyée : ") + why);
        return why;
    }
    const qint64 wall = QDateTime::currentMSecsSinceEpoch();
    if (m_exchanges.size() >= MaxExchanges)
        m_exchanges.removeFirst();
    m_exchanges.append({wall, m_lastSent.second, *bytes, {}});
    m_framer.addReplyWindow(m_lastSent.second, m_lastSent.second + ReplyWindowMs);
    exchangeLine(wall, true, *bytes);
    m_console->remember(typed);
    SettingsStore(m_ports.settingsFile()).writeValuesLater(Group, {{QStringLiteral("history"), m_console->history().join(u'\n')}});
    showMessage({});
    return {};
}

BenchReport::Exchange *BenchWindow::exchangeAnswered(qint64 firstMs)
{
    BenchReport::Exchange *newest = nullptr;
    BenchReport::Exchange *oldestUnanswered = nullptr;
    for (qsizetype i = m_exchanges.size() - 1; i >= 0; --i) {
        BenchReport::Exchange &e = m_exchanges[i];
        if (firstMs > e.sentMs + ReplyWindowMs)
            break; // and every one before it
        if (firstMs < e.sentMs)
            continue;
        if (!newest)
            newest = &e;
        if (e.replies.isEmpty())
            oldestUnanswered = &e;
    }
    return oldestUnanswered ? oldestUnanswered : newest;
}

void BenchWindow::exchangeLine(qint64 wallMs, bool sent, const QByteArray &bytes)
{
    QString line = ScanTable::receivedText(wallMs) + (sent ? QStringLiteral(" → ") : QStringLiteral(" ← "))
        + ConsoleEscapes::shown(bytes);
    if (!sent && bytes.endsWith('\x06'))
        line += QStringLiteral("   (ACK : accepté)");
    else if (!sent && bytes.endsWith('\x15'))
        line += QStringLiteral("   (NAK : refusé)");
    m_exchangesView->appendPlainText(line);
}
