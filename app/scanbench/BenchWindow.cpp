#include "FrenchNumber.h"
#include "BenchWindow.h"

#include "BenchCounters.h"
#include "BenchLook.h"
#include "BenchPanes.h"
#include "BenchReport.h"
#include "CommControl.h"
#include "ConsolePanel.h"
#include "MissingCodesView.h"
#include "EndingChooser.h"
#include "ListLoad.h"
#include "PortAssignments.h"
#include "ReadRatePanel.h"
#include "ReportPrompt.h"
#include "ScanFilter.h"
#include "ScanTableView.h"
#include "TargetFile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

BenchWindow::BenchWindow(CommControl *comm, PortAssignments &ports, QWidget *parent)
    : QWidget(parent, Qt::Window), m_comm(comm), m_ports(ports), m_test(comm)
{
    setObjectName(QStringLiteral("BenchWindow"));
    setWindowTitle(QStringLiteral("Banc d'essai — Vantrel"));
    // Numbers as the window's words are: "2 500 ms", whatever the process's
    // locale (the children take it).
    setLocale(QLocale(QLocale::French, QLocale::France));
    resize(900, 500);

    m_endings = new EndingChooser(this);

    auto *load = new QPushButton(QStringLiteral("&Codes attendus…"), this);
    load->setObjectName(QStringLiteral("loadList"));
    m_missing = new QPushButton(QStringLiteral("Codes &manquants"), this);
    m_missing->setObjectName(QStringLiteral("showMissing"));
    auto *clear = new QPushButton(QStringLiteral("&Remettre à zéro"), this);
    clear->setObjectName(QStringLiteral("reset"));
    auto *report = new QPushButton(QStringLiteral("&Enregistrer le rapport…"), this);
    report->setObjectName(QStringLiteral("saveReport"));

    m_counters = new BenchCounters(this);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setTextFormat(Qt::PlainText); // paths and reasons come from outside
    m_message->setWordWrap(true);
    m_message->setAccessibleName(QStringLiteral("Message"));

    m_view = new ScanTableView(&m_table, this);
    m_filter = new ScanFilter(&m_table, this);
    m_load = new ListLoad(this);
    m_readRate = new ReadRatePanel(m_test, [this] {
        // Scans that end by silence end that much after their last byte.
        return m_framer.ending() == ScanFramer::Ending::Silence ? m_framer.silenceMs() : 0;
    }, this);
    m_console = new ConsolePanel(m_comm, [this] {
        return m_test.running() ? QStringLiteral("un test de lecture est en cours") : QString();
    }, this);

    m_panes = new BenchPanes(m_view, m_readRate, m_console, this);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {load, m_missing, clear, report})
        buttons->addWidget(b);
    buttons->addStretch();
    for (QToolButton *t : m_panes->toggles())
        buttons->addWidget(t);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_endings);
    layout->addLayout(buttons);
    layout->addWidget(m_counters);
    layout->addWidget(m_panes, 1);
    layout->addWidget(m_message);

    m_passTimer.setSingleShot(true);
    m_passTimer.setInterval(0);
    connect(&m_passTimer, &QTimer::timeout, this, &BenchWindow::pass);
    m_silenceTimer.setSingleShot(true);
    connect(&m_silenceTimer, &QTimer::timeout, this, &BenchWindow::checkSilence);

    restoreLook();
    connect(m_endings, &EndingChooser::changed, this, &BenchWindow::optionsChanged);
    connect(m_load, &ListLoad::progress, this, [this](const QString &file, int percent) {
        showMessage(QStringLiteral("Chargement de la liste « ") + file + QStringLiteral(" » : %1 %").arg(percent));
    });
    connect(m_load, &ListLoad::done, this, &BenchWindow::listLoaded);
    connect(m_counters, &BenchCounters::onlyChosen, this, [this](ScanTable::Only only) {
        // The whole table is shown as it is; a filter only while chosen.
        m_filter->setOnly(only);
        m_view->showModel(only == ScanTable::Only::All ? static_cast<QAbstractItemModel *>(&m_table) : m_filter);
    });
    connect(load, &QPushButton::clicked, this, &BenchWindow::askListFile);
    connect(m_missing, &QPushButton::clicked, this, &BenchWindow::showMissing);
    connect(clear, &QPushButton::clicked, this, &BenchWindow::reset);
    connect(report, &QPushButton::clicked, this, &BenchWindow::askReportFile);
    connect(&m_test, &ReadRateTest::takeWanted, this, &BenchWindow::takeWanted);
    m_test.setPendingScan([this] { return std::pair{m_framer.pendingFirstMs(), m_framer.pendingBytes()}; });
    connect(&m_test, &ReadRateTest::noRead, this, [this](qint64 triggerMs) {
        // A row of its own, at the trigger's time, so that one sees when.
        ScanRow r;
        r.number = ++m_number;
        r.wallMs = triggerMs + (QDateTime::currentMSecsSinceEpoch() - TakenBytes::nowMs());
        r.symbology.name = QStringLiteral("—");
        r.mark = ScanTally::Mark::NoRead;
        std::deque<ScanRow> rows;
        rows.push_back(std::move(r));
        m_table.append(std::move(rows));
        updateCounters();
    });
    if (m_comm) {
        connect(m_comm, &CommControl::portOpenChanged, this, [this](bool open) {
            if (open)
                return;
            m_framer.lineClosed(TakenBytes::nowMs());
            if (!m_passTimer.isActive())
                m_passTimer.start();
        });
    }
    connect(m_readRate, &ReadRatePanel::message, this, &BenchWindow::showMessage);
    connect(m_readRate, &ReadRatePanel::runningChanged, this, [this](bool running) { m_console->setSendEnabled(!running); });
    connect(m_console, &ConsolePanel::message, this, &BenchWindow::showMessage);
    connect(m_console, &ConsolePanel::commandSent, this,
            [this](qint64 sentMs) { m_framer.addReplyWindow(sentMs, sentMs + ReplyWindowMs); });
    connect(m_console, &ConsolePanel::historyChanged, this, [this](const QStringList &history) {
        BenchLook::historyLater(history, m_ports.settingsFile());
    });
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
        if (s.unfinished) {
            // A piece of a scan whose line closed: shown, never counted as a code.
            r.symbology = Symbology::of(s.data);
            r.mark = ScanTally::Mark::Unfinished;
        } else if (m_console->takeReply(s.firstMs, r.wallMs, s.data)) {
            // An answer to the console: named when it ends in ACK or NAK.
            r.mark = ScanTally::Mark::Reply;
            r.symbology.name = s.data.endsWith('\x06') ? QStringLiteral("ACK")
                             : s.data.endsWith('\x15') ? QStringLiteral("NAK") : QStringLiteral("—");
        } else if (m_test.running()) {
            // Every trigger reads the same label: counted in the test, not
            // as duplicates of the session.
            r.symbology = Symbology::of(s.data);
            r.mark = ScanTally::Mark::ReadRate;
            m_test.scanFramed(s.firstMs);
        } else {
            r.symbology = Symbology::of(s.data);
            r.mark = m_tally.count(Symbology::payload(s.data).toByteArray(),
                                   r.symbology.check == Symbology::Check::Wrong);
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
    // The line closed and nothing of it is left to take: a scan it left
    // open ends here, on its own row.
    if (m_queue.empty() && m_framer.lineWasClosed() && (!m_comm || m_comm->InBufferCount() == 0)) {
        if (std::optional<FramedScan> s = m_framer.endUnfinished())
            addScans({std::move(*s)}, rows);
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
    return m_counters->text();
}

const QAbstractItemModel &BenchWindow::shownRows() const
{
    return *m_view->model();
}

void BenchWindow::updateCounters()
{
    BenchCounters::Counts n;
    n.scans = m_tally.scans();
    n.faults = m_table.faulty();
    n.checkFaults = m_tally.checkFaults();
    n.duplicates = m_tally.duplicates();
    QStringList rest;
    if (m_tally.hasList()) {
        n.unexpected = m_tally.unexpected();
        rest << QStringLiteral("Manquants : ") + frenchNumber(m_tally.missingCount()) + QStringLiteral(" sur ")
                + frenchNumber(m_tally.expected().size());
    }
    if (m_table.left() > 0)
        rest << QStringLiteral("Sortis du tableau : ") + frenchNumber(m_table.left());
    if (const qsizetype pending = m_framer.pendingBytes())
        rest << QStringLiteral("Scan en cours : ") + frenchNumber(pending) + QStringLiteral(" octet")
                + (pending > 1 ? QStringLiteral("s") : QString());
    n.rest = rest.join(QStringLiteral("   "));
    m_counters->setCounts(n);
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
    m_endings->set(ending, silenceMs);
    optionsChanged();
}

void BenchWindow::optionsChanged()
{
    const ScanFramer::Ending ending = m_endings->ending();
    if (ending != m_framer.ending() || m_endings->silenceMs() != m_framer.silenceMs()
        || m_endings->endByte() != m_framer.endByte()) {
        m_framer.setEndByte(m_endings->endByte());
        m_framer.setEnding(ending, m_endings->silenceMs());
        if (m_queue.empty() && ending == ScanFramer::Ending::Silence && m_framer.pendingBytes() > 0)
            m_silenceTimer.start(m_framer.silenceMs());
        updateCounters();
    }
}

void BenchWindow::restoreLook()
{
    BenchLook::restore({*this, *m_endings, *m_readRate, *m_console, *m_panes}, m_ports.settingsFile());
    optionsChanged();
}

void BenchWindow::saveLook()
{
    BenchLook::save({*this, *m_endings, *m_readRate, *m_console, *m_panes}, m_ports.settingsFile());
}

// ---------------------------------------------------------------------------
// Expected codes

QString BenchWindow::loadList(const QString &file)
{
    m_load->start(file);
    showMessage(QStringLiteral("Chargement de la liste « ") + file + QStringLiteral(" »…"));
    return {};
}

void BenchWindow::listLoaded(const QString &file, const std::shared_ptr<const CodeList> &codes, qsizetype repeats,
                             const QString &readError)
{
    QString why;
    if (!readError.isEmpty())
        why = QStringLiteral("Liste non chargée : « ") + file + QStringLiteral(" » : ") + readError;
    else if (codes->isEmpty())
        why = QStringLiteral("Liste non chargée : « ") + file + QStringLiteral(" » ne contient aucun code.");
    if (!why.isEmpty()) {
        showMessage(why);
        emit listDone(why);
        return;
    }
    m_listFile = file;
    m_tally.setExpected(codes);
    m_table.clear();
    m_lastFirstMs = -1;
    m_number = 0;
    updateCounters();
    const QString repeated = repeats == 0 ? QString()
                           : QStringLiteral(" ; %1 en double dans la liste, comptés une fois").arg(frenchNumber(repeats));
    showMessage(QStringLiteral("%1 codes attendus chargés depuis « ").arg(frenchNumber(codes->size())) + file
                + QStringLiteral(" »") + repeated + QStringLiteral(" ; le décompte repart de zéro."));
    if (m_missingWindow && m_missingWindow->isVisible())
        m_missingWindow->showCodes(m_tally);
    emit listDone({});
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
    if (!m_missingWindow)
        m_missingWindow = new MissingCodesView(this);
    m_missingWindow->showCodes(m_tally);
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
    s.framing = m_endings->shown();
    if (m_framer.ending() == ScanFramer::Ending::Silence)
        s.framing += QStringLiteral(" de %1 ms").arg(m_framer.silenceMs());
    s.listFile = m_listFile;
    s.readRate = m_readRate->lastFigures();
    s.readRateSetting = m_readRate->lastSetting();
    s.exchanges = m_console->exchanges();
    s.table = &m_table;
    s.tally = &m_tally;
    const BenchReport::Written w = BenchReport::write(csvFile, s);
    showMessage(w.why.isEmpty() ? QStringLiteral("Rapport enregistré : ") + BenchReport::changedText(w.changed) + u'.'
                                : QStringLiteral("Rapport non enregistré : ") + w.why + u'.');
    return w.why;
}

void BenchWindow::askReportFile()
{
    connect(ReportPrompt::open(this), &ReportPrompt::chosen, this, [this](const QString &file) { saveReport(file); });
}

// ---------------------------------------------------------------------------
// The panels

QString BenchWindow::startReadRate(int triggers, int waitMs, int pauseMs)
{
    m_panes->showReadRate();
    return m_readRate->start(triggers, waitMs, pauseMs);
}

QString BenchWindow::readRateText() const
{
    return m_readRate->resultText();
}

QString BenchWindow::sendCommand(const QString &typed)
{
    return m_console->send(typed);
}

const QList<BenchReport::Exchange> &BenchWindow::exchanges() const
{
    return m_console->exchanges();
}
