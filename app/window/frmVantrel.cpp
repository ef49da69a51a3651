#include "frmVantrel.h"

#include "FormAccess.h"
#include "FormLayout.h"
#include "BenchWindow.h"
#include "LengthText.h"
#include "PortChooser.h"
#include "PortHints.h"
#include "ReceptionBox.h"
#include "SettingsQueue.h"
#include "ScannerCommands.h"
#include "SerialComm.h"
#include "StatusLineLabel.h"
#include "StatusLineState.h"
#include "StatusText.h"
#include "WaitingHandler.h"
#include "WindowIcon.h"
#include "WindowLook.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaMethod>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

constexpr int ClientWidth = 7005;   // twips: 467 pixels at 96 dpi
constexpr int ClientHeight = 5205;  // 347
constexpr int StatusHeight = 960;   // 64: the state, then the message on up to three lines

const QString ReadStart = QLatin1String(ScannerCommands::ReadStart);
const QString ReadEnd = QLatin1String(ScannerCommands::ReadEnd);
const QString FixedCommand = QLatin1String(ScannerCommands::FixedCommand);

} // namespace

frmVantrel::frmVantrel(CommControl *comm, const Clock *clock, PortAssignments *ports, QWidget *parent)
    : QWidget(parent),
      m_ownClock(clock ? nullptr : std::make_unique<SteadyClock>()),
      m_clock(clock ? clock : m_ownClock.get()),
      m_yield(*m_clock),
      m_ownPorts(ports ? nullptr : std::make_unique<PortAssignments>()),
      m_ports(ports ? ports : m_ownPorts.get())
{
    setObjectName(QStringLiteral("frmVantrel"));
    setWindowTitle(QStringLiteral("Vantrel"));
    setFont(FormLayout::drawnFont());
    setWindowIcon(vantrelIcon());

    const FormLayout at(this);
    // The window opens at the size it was drawn for, and no smaller; the
    // operator may enlarge it (resizeEvent).
    m_baseSize = QSize(at.px(ClientWidth), at.px(ClientHeight + StatusHeight));
    setMinimumSize(m_baseSize);
    resize(m_baseSize);

    List1 = new QListWidget(this);
    at.place(List1, "List1", at.rect(120, 120, 1455, 1620));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int n = 1; n <= 8; ++n)
        List1->addItem(QString::number(n));

    Command1 = at.button("Command1", QStringLiteral("Allumer"), at.rect(1650, 150, 1815, 390));
    Command2 = at.button("Command2", QStringLiteral("Eteindre"), at.rect(1650, 600, 1815, 390));
    Command3 = at.button("Command3", QStringLiteral("Lire"), at.rect(1650, 1050, 1815, 390));
    Command4 = at.button("Command4", QStringLiteral("Envoyer commande"), at.rect(1650, 1650, 1815, 390));
    Text1 = new ReceptionBox(this);
    at.place(Text1, "Text1", at.rect(120, 2775, 5550, 2295));
    Text2 = at.line("Text2", QString(), at.rect(120, 1920, 1455, 375));
    Label1 = at.label("Label1", QStringLiteral("Réception"), at.rect(120, 2535, 1815, 255));
    Command5 = at.button("Command5", QStringLiteral("Lire buffer"), at.rect(1650, 2100, 1815, 390));
    Text3 = at.line("Text3", QStringLiteral("6"), at.rect(4800, 480, 1335, 375));
    Label2 = at.label("Label2", QStringLiteral("Longueur a lire"), at.rect(4800, 240, 1335, 255));

    // The labels overlap the top edge of their boxes by one pixel; they stay
    // under the boxes so that the edge is drawn.
    Label1->lower();
    Label2->lower();

    StatusLine = new StatusLineLabel(this);
    at.place(StatusLine, "StatusLine", at.rect(0, ClientHeight, ClientWidth, StatusHeight));
    for (QFrame *frame : {static_cast<QFrame *>(List1), static_cast<QFrame *>(Text1), static_cast<QFrame *>(StatusLine)})
        FormLayout::sunken(frame);

    FormAccess::apply(*this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TickMs);

    // The devices present at start get their numbers before the first open.
    m_ports->refresh();
    m_chooser = new PortChooser(List1, *m_ports, this);
    m_chooser->updateToolTips();
    m_boxBase = Text1->geometry();
    m_statusBase = StatusLine->geometry();
    WindowLook::restore(*this, *Text1, m_baseSize, m_ports->settingsFile());

    MSComm1 = comm ? comm : new SerialComm(m_ports, this);
    if (!MSComm1->parent())
        MSComm1->setParent(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    connect(Command1, &QPushButton::clicked, this, &frmVantrel::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmVantrel::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmVantrel::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmVantrel::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmVantrel::Command5_Click);
    connect(Timer1, &QTimer::timeout, this, &frmVantrel::Timer1_Timer);
    m_status = new StatusLineState(StatusLine, MSComm1, *m_ports, Text1, this);
    connect(m_chooser, &PortChooser::message, m_status, &StatusLineState::showMessage);
    connect(MSComm1, &CommControl::errorOccurred, this, &frmVantrel::onCommError);
    connect(MSComm1, &CommControl::portOpenChanged, m_status, &StatusLineState::portOpenChanged);
    connect(MSComm1, &CommControl::otherHoldersFound, m_status, &StatusLineState::showSharers);
    connect(&SettingsQueue::instance(), &SettingsQueue::writeFailed, m_status, &StatusLineState::showSettingsNotWritten);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this), &QShortcut::activated, this, &frmVantrel::showBench);
    connect(Text1, &ReceptionBox::benchRequested, this, &frmVantrel::showBench);
    connect(m_chooser, &PortChooser::benchRequested, this, &frmVantrel::showBench);

    m_status->refresh();
    m_status->showSettingsProblem();
    List1->setFocus();
    Timer1->start();
}

frmVantrel::~frmVantrel()
{
    Timer1->stop();
    MSComm1->disconnect(this);
    delete m_bench; // before the port assignments it reads go
}

// ---------------------------------------------------------------------------
// The scanner bench

void frmVantrel::showBench()
{
    if (!m_bench) {
        m_bench = new BenchWindow(MSComm1, *m_ports, this);
        connect(m_bench, &BenchWindow::hidden, this, [this] {
            disconnect(this, &frmVantrel::received, m_bench, &BenchWindow::take);
        });
        // The read-rate test wants what the line brought at once, not at
        // the next tick: taken and shown as a tick's end does.
        connect(m_bench, &BenchWindow::takeWanted, this, [this] {
            if (!m_ending)
                appendWhatCame();
        });
    }
    connect(this, &frmVantrel::received, m_bench, &BenchWindow::take, Qt::UniqueConnection);
    m_bench->show();
    m_bench->raise();
    m_bench->activateWindow();
}

void frmVantrel::connectNotify(const QMetaMethod &signal)
{
    if (signal != QMetaMethod::fromSignal(&frmVantrel::received) || m_relay)
        return;
    m_relay = connect(MSComm1, &CommControl::taken, this, [this](const TakenBytes &taken) {
        if (!m_droppingReply)
            emit received(taken);
    });
}

// Qt calls this with the connection lists locked when a receiver is being
// destroyed: isSignalConnected() here would wait for a lock that may be the
// one held already (Qt's locks are shared between objects), and the window
// would hang for good. Whether anyone still listens is looked at once the
// disconnection is over.
void frmVantrel::disconnectNotify(const QMetaMethod &signal)
{
    if (signal != QMetaMethod::fromSignal(&frmVantrel::received))
        return;
    QMetaObject::invokeMethod(this, [this] {
        if (!isSignalConnected(QMetaMethod::fromSignal(&frmVantrel::received)))
            disconnect(m_relay);
    }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Port rules and the reception log

qint16 frmVantrel::SelectedPort() const
{
    const auto selected = List1->selectedItems();
    if (selected.isEmpty())
        return 1;
    return lengthFromText(selected.first()->text()).value_or(1);
}

// Sets CommPort from the list and opens. False when the open was refused: the
// port is then closed and the status line says why.
bool frmVantrel::openStep()
{
    MSComm1->setCommPort(SelectedPort());
    MSComm1->setPortOpen(true);
    if (!MSComm1->PortOpen())
        return false;
    // A built-in port while the scanner is elsewhere: say where it is.
    const QString hint = builtInOpenedText(m_ports->resolve(MSComm1->CommPort()), *m_ports);
    if (!hint.isEmpty())
        m_status->showMessage(hint);
    return true;
}

// A click refused past the cap of waiting handlers says so.
void frmVantrel::refusedTooDeep()
{
    if (!m_ending)
        m_status->showMessage(tooDeepText());
}

// "Lire" and "Envoyer commande" act on a closed port only, as on the
// former benches: on an open one they send nothing and say when they can
// act. True when the port was closed and is now open.
bool frmVantrel::openClosedPortFor(const QPushButton *button)
{
    if (MSComm1->PortOpen()) {
        m_status->showMessage(portOpenRefusalText(MSComm1->CommPort(), button->text()));
        return false;
    }
    return openStep();
}

bool frmVantrel::ensureOpen()
{
    return MSComm1->PortOpen() || openStep();
}

// Puts the received text and a line break at the end of whatever the box
// holds, the operator's edits included (ReceptionBox).
void frmVantrel::appendToLog(const QString &received)
{
    m_status->endWaiting(); // a scan came: "Allumer attend" is news no more
    Text1->append(received);
}

QString frmVantrel::statusText() const
{
    return StatusLine->fullText();
}

QString frmVantrel::receptionText() const
{
    return Text1->receptionText();
}

// Yields until `count` bytes are waiting. False when the program is ending.
bool frmVantrel::waitForCount(int count)
{
    for (bool first = true;; first = false) {
        m_yield.pass(first);
        if (m_ending)
            return false;
        if (MSComm1->InBufferCount() >= count)
            return true;
    }
}

// ---------------------------------------------------------------------------
// Operator commands

void frmVantrel::Command1_Click()
{
    WaitingHandler handler(m_depth, MaxDepth, m_ending);
    if (!handler)
        return refusedTooDeep();
    if (!ensureOpen())
        return;
    if (MSComm1->InBufferCount() < 6)
        m_status->showWaiting(waitingForBytesText(MSComm1->CommPort(), 6));
    if (!waitForCount(6))
        return;
    m_status->endWaiting(); // the bytes came: nothing left to say
    appendToLog(MSComm1->Input());
}

void frmVantrel::Command2_Click()
{
    if (m_ending)
        return;
    if (MSComm1->PortOpen()) {
        releaseTrigger();
        MSComm1->setPortOpen(false);
    }
}

// Ends a triggered read still running on the open port, the bench's
// read-rate test's included.
void frmVantrel::releaseTrigger()
{
    if (m_bench)
        m_bench->readRateTest().stop();
    if (m_triggered && MSComm1->PortOpen())
        MSComm1->setOutput(ReadEnd);
    m_triggered = false;
}

void frmVantrel::Command3_Click()
{
    WaitingHandler handler(m_depth, MaxDepth, m_ending);
    if (!handler)
        return refusedTooDeep();
    if (!openClosedPortFor(Command3))
        return;
    MSComm1->setOutput(ReadStart);
    m_triggered = MSComm1->PortOpen();
    if (!waitForCount(6))
        return;
    const QString read = MSComm1->Input();
    appendToLog(read);
    const bool acted = MSComm1->PortOpen(); // not closed under the wait (what closed it says why)
    MSComm1->setOutput(ReadEnd);
    m_triggered = false;
    MSComm1->setPortOpen(false);
    if (acted)
        m_status->showMessage(readDoneText(MSComm1->CommPort(), int(qMin<qsizetype>(read.size(), INT_MAX))));
}

void frmVantrel::Command4_Click()
{
    if (m_ending)
        return;
    if (!openClosedPortFor(Command4))
        return;
    MSComm1->setOutput(FixedCommand);

    // Waits on the line alone, no window events, for 10 bytes or 2 seconds.
    const auto t0 = m_clock->now();
    for (;;) {
        if (MSComm1->InBufferCount() >= 10)
            break;
        const auto elapsed = m_clock->now() - t0;
        if (elapsed > 2s)
            break;
        if (!MSComm1->PortOpen())
            break; // the device went away: nothing more can come
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(2s - elapsed).count();
        MSComm1->waitForBytes(int(qMax<qint64>(left, 1)));
    }
    const bool stillThere = MSComm1->PortOpen();
    m_droppingReply = true;
    const qsizetype reply = MSComm1->Input().size(); // the reply is taken and dropped
    m_droppingReply = false;
    MSComm1->setPortOpen(false);
    if (stillThere)
        m_status->showMessage(commandSentText(MSComm1->CommPort(), int(qMin<qsizetype>(reply, INT_MAX))));
}

void frmVantrel::Command5_Click()
{
    if (m_ending)
        return;
    if (MSComm1->InBufferCount() > 0)
        appendToLog(MSComm1->Input());
    else
        m_status->showMessage(nothingWaitingText(MSComm1->CommPort(), MSComm1->PortOpen()));
}

// ---------------------------------------------------------------------------
// Periodic reception

void frmVantrel::Timer1_Timer()
{
    WaitingHandler handler(m_depth, MaxDepth, m_ending);
    if (!handler)
        return; // a tick past the cap is skipped quietly
    if (!ensureOpen()) {
        // No wait on a port that did not open; what arrived before the
        // device went away is still shown.
        appendWhatCame();
        return;
    }

    const auto deadline = m_clock->now() + 1s;
    for (bool first = true;; first = false) {
        m_yield.pass(first, deadline);
        if (m_ending)
            return;
        if (m_clock->now() >= deadline)
            break;
        const QString text = Text3->text();
        const int count = MSComm1->InBufferCount();
        const std::optional<qint16> n = lengthFromText(text);
        m_status->setLengthMessage(n ? QString() : invalidLengthText(text));
        // An invalid length is never reached: the wait runs to its deadline.
        if (n && count >= *n)
            break;
    }
    appendWhatCame();
}

// Takes everything received and appends it, unless nothing came: no blank
// lines from a silent device.
void frmVantrel::appendWhatCame()
{
    const QString received = MSComm1->Input();
    if (!received.isEmpty())
        appendToLog(received);
}

// ---------------------------------------------------------------------------
// Ending

void frmVantrel::Form_Unload()
{
    if (m_ending)
        return;
    Command2_Click(); // ends a triggered read first
    m_ending = true;
    WindowLook::save(*this, *Text1, m_baseSize, m_ports->settingsFile());
    if (m_bench)
        m_bench->close(); // the bench ends with the program, and keeps its look
    Timer1->stop();
    emit programEnded();
}

// The reception box and the status line take the room the operator gives
// the window; the other controls keep their places.
void frmVantrel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int dw = qMax(0, width() - m_baseSize.width());
    const int dh = qMax(0, height() - m_baseSize.height());
    Text1->setGeometry(m_boxBase.adjusted(0, 0, dw, dh));
    StatusLine->setGeometry(m_statusBase.translated(0, dh).adjusted(0, 0, dw, 0));
}

void frmVantrel::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept(); // closing is never refused
}

// ---------------------------------------------------------------------------
// Status line

void frmVantrel::onCommError(CommError error)
{
    if (isOpenRefusal(error)) {
        // Something plugged in since the last listing may now be COM n.
        m_ports->refreshIfChanged();
        m_chooser->updateToolTips();
        m_status->showSettingsProblem();
    }
    const bool leftTriggered = error == CommError::DeviceGone && m_triggered;
    if (error == CommError::DeviceGone)
        m_triggered = false;
    m_status->commError(error, leftTriggered);
}
