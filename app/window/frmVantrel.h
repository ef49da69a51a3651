#pragma once

#include "Clock.h"
#include "CommControl.h"
#include "EventYield.h"
#include "PortAssignments.h"
#include "ReceptionBox.h"
#include "StatusLineLabel.h"

#include <QWidget>

#include <memory>
#include <optional>

class BenchWindow;
class PortChooser;
class StatusLineState;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

// The window of the bench tool. It holds every control and every handler;
// all state lives in the controls, except what keeps the tool sound: the
// nesting depth, the pending trigger and the end flag (and, in
// StatusLineState, the error shown in the status line).
//
// Handlers that wait (Command1_Click, Command3_Click, Timer1_Timer) yield on
// every pass: clicks, ticks and the close of the window run nested inside
// them. A tick never starts inside another tick (QTimer does not re-enter its
// slot). Nesting is capped at MaxDepth waiting handlers; a click past the cap
// is refused. Closing the window ends the program: every waiting handler
// returns at its next pass and appends nothing.
//
// The fixed command (Command4_Click) waits on the line without yielding: the
// window stays frozen for up to about 2 seconds, and what the operator does
// meanwhile is handled afterwards.
//
// Never run a modal loop here (QDialog::exec(), QMenu::exec(), the static
// QMessageBox and QFileDialog functions): the window spends most of its time
// inside a tick's wait, and a modal loop stops the reception display until
// it closes. Menus use popup(), dialogs open() and signals.
//
// Which device each COM number stands for is PortAssignments' business; the
// list's tooltips and menu are PortChooser's. The reception box (its
// characters, its size, each line's time and bytes, save and journal) is
// ReceptionBox; what the status line says is StatusLineState's, its fitting
// StatusLineLabel's.
class frmVantrel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxDepth = 64;
    static constexpr int TickMs = 500;

    // Null arguments give the real serial control, the real clock and the
    // user's port assignments.
    explicit frmVantrel(CommControl *comm = nullptr, const Clock *clock = nullptr,
                        PortAssignments *ports = nullptr, QWidget *parent = nullptr);
    ~frmVantrel() override;

    // The reception box's text as the device sent it and the appends wrote it:
    // lines end in CR LF. Control pictures stay as shown.
    QString receptionText() const;
    // The status line's whole text (what its tooltip holds).
    QString statusText() const;
    bool ending() const { return m_ending; }
    int depth() const { return m_depth; }
    PortAssignments &ports() { return *m_ports; }

    // Opens the selected port if it is closed, as a tick does before it
    // waits, and says so in the status line. True when the port is open.
    // For the tests and the benchmarks, which need an open port without a
    // tick's wait.
    bool openPort() { return ensureOpen(); }
    PortChooser *portChooser() const { return m_chooser; }

    BenchWindow *bench() const { return m_bench; }

signals:
    // The window was closed: the program ends with exit status 0.
    void programEnded();
    // What the handlers took from the line to show, with when each read
    // brought it (the fixed command's reply, taken and dropped, is not).
    // The line's takes are copied only while something listens.
    void received(const TakenBytes &taken);

public slots:
    // Opens the scanner bench (Ctrl+B), a window of its own, never modal.
    void showBench();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Timer1_Timer();
    void Form_Unload();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    qint16 SelectedPort() const;
    bool openStep();
    bool ensureOpen();
    bool openClosedPortFor(const QPushButton *button);
    void refusedTooDeep();
    void appendToLog(const QString &received);
    void appendWhatCame();
    void releaseTrigger();
    bool waitForCount(int count);
    void onCommError(CommError error);

public:
    // The window's controls, open to the tests, which drive them as the operator does.
    QListWidget *List1;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;
    QPushButton *Command4;
    ReceptionBox *Text1;
    QLineEdit *Text2;
    QLabel *Label1;
    QPushButton *Command5;
    QLineEdit *Text3;
    QLabel *Label2;
    QTimer *Timer1;
    CommControl *MSComm1;
    StatusLineLabel *StatusLine;

private:
    std::unique_ptr<Clock> m_ownClock;
    const Clock *m_clock;
    EventYield m_yield;
    std::unique_ptr<PortAssignments> m_ownPorts;
    PortAssignments *m_ports;
    PortChooser *m_chooser;
    QSize m_baseSize;   // the size the window was drawn for
    QRect m_boxBase;    // the box and the status line at that size
    QRect m_statusBase;

    StatusLineState *m_status; // what the status line says, and when
    int m_depth = 0;         // waiting handlers on the stack
    // "Lire" sent ESC S7 CR on the open port and no ESC S8 CR has followed:
    // the close step ends the read first, so the scanner is never left firing.
    bool m_triggered = false;
    bool m_ending = false;
    bool m_droppingReply = false; // the fixed command's reply is being taken
    BenchWindow *m_bench = nullptr;
    QMetaObject::Connection m_relay; // MSComm1's takes, while received() is listened to
};
