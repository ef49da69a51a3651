#pragma once

#include "BenchReport.h"
#include "ReadRateTest.h"
#include "ScanFramer.h"
#include "ScanTable.h"
#include "ScanTally.h"
#include "TakenBytes.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>

class CommControl;
class ConsoleLine;
class PortAssignments;
class QProgressBar;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableView;

// The scanner bench: a second window, never modal, that shows one row per
// scan of what the main window takes from the line.
//
// take() is given every take with its arrival stamps; the framer cuts it
// into scans, and each scan gets its symbology, its check and its mark
// against the list of expected codes. A take is worked through in passes of
// at most PassBudgetMs, between which the event loop runs, so that a flood
// never stalls either window.
//
// The read-rate test (ReadRateTest) and the console write through the same
// serial control, on the open port. A console command opens a reply window
// of ReplyWindowMs: scans that begin in it are its replies, marked
// "réponse" and left out of the counters. A scanner answers commands in
// order: a reply goes to the oldest command whose window it falls in and
// that has none yet, else to the newest whose window it falls in.
//
// Its size, place, framing, test settings and the console's last commands
// are kept in the settings file beside the ports:
//
//   [Bench]
//   geometry=10 20 900 500
//   ending=silence
//   silenceMs=80
//   test=100 1000 200
//   history=<ESC>A1<CR>\n<ESC>B0<CR>
class BenchWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PassBudgetMs = 15;
    static constexpr qsizetype PieceBytes = 16384;
    static constexpr int ReplyWindowMs = 1000;
    static constexpr int MaxExchanges = 1000;

    BenchWindow(CommControl *comm, PortAssignments &ports, QWidget *parent = nullptr);
    ~BenchWindow() override;

    const ScanTable &table() const { return m_table; }
    const ScanTally &tally() const { return m_tally; }
    // The counters line as shown.
    QString countersText() const;
    // Loads a list of expected codes; empty on success, else why not.
    QString loadList(const QString &file);
    // Writes the report; empty on success, else why not.
    QString saveReport(const QString &csvFile);
    void setEnding(ScanFramer::Ending ending, int silenceMs);
    // Starts the read-rate test as its button does; empty, else why not.
    QString startReadRate(int triggers, int waitMs, int pauseMs);
    ReadRateTest &readRateTest() { return m_test; }
    // Sends a console command as typed; empty when it left, else why not.
    QString sendCommand(const QString &typed);
    const QList<BenchReport::Exchange> &exchanges() const { return m_exchanges; }
    QString readRateText() const;
    // Takes have been worked through, and no silence is awaited.
    bool idle() const { return m_queue.empty() && !m_silenceTimer.isActive(); }

public slots:
    void take(const TakenBytes &taken);
    void reset();

signals:
    // The window was hidden: it no longer needs the takes.
    void hidden();
    // Bytes the read-rate test waits for have been read: take them now.
    void takeWanted();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void pass();
    void checkSilence();
    void addScans(QList<FramedScan> scans, std::deque<ScanRow> &rows);
    void updateCounters();
    void showMessage(const QString &text);
    void optionsChanged();
    void askListFile();
    void askReportFile();
    void showMissing();
    void runOrStopTest();
    void testFinished(const ReadRateFigures &figures, const QString &why);
    void exchangeLine(qint64 wallMs, bool sent, const QByteArray &bytes);
    BenchReport::Exchange *exchangeAnswered(qint64 firstMs);
    void restoreLook();
    void saveLook() const;

    CommControl *m_comm;
    PortAssignments &m_ports;
    ScanFramer m_framer;
    ScanTable m_table;
    ScanTally m_tally;
    QString m_listFile;
    std::deque<TakenBytes> m_queue; // takes not worked through yet, in pieces
    QTimer m_passTimer;
    QTimer m_silenceTimer;
    qint64 m_lastFirstMs = -1;
    qint64 m_number = 0;
    bool m_following = true; // the table shows its newest row
    ReadRateTest m_test;
    std::optional<ReadRateFigures> m_lastTest;
    QString m_lastTestSetting;
    QList<BenchReport::Exchange> m_exchanges;
    std::pair<QByteArray, qint64> m_lastSent{{}, -1};

    QComboBox *m_ending;
    QSpinBox *m_silence;
    QLabel *m_counters;
    QLabel *m_message;
    QTableView *m_view;
    QPushButton *m_missing;
    QPointer<QPlainTextEdit> m_missingWindow;
    QSpinBox *m_triggers;
    QSpinBox *m_waitMs;
    QSpinBox *m_pauseMs;
    QPushButton *m_runTest;
    QProgressBar *m_progress;
    QLabel *m_testResult;
    ConsoleLine *m_console;
    QPushButton *m_send;
    QPlainTextEdit *m_exchangesView;
};
