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
#include <memory>

class BenchCounters;
class CodeList;
class ListLoad;
class BenchPanes;
class CommControl;
class ConsolePanel;
class MissingCodesView;
class PortAssignments;
class EndingChooser;
class QLabel;
class QPushButton;
class ReadRatePanel;
class ScanFilter;
class ScanTableView;

// The scanner bench: a second window, never modal, that shows one row per
// scan of what the main window takes from the line. The frame: it frames
// the takes into rows (ScanTableView shows them), counts them, loads the
// expected codes, writes the report and keeps its look; the read-rate test
// (ReadRatePanel) and the console (ConsolePanel) are panels of their own.
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
// "réponse" and left out of the counters.
//
// Its size, place, framing, test settings and the console's last commands
// are kept for the next start (BenchLook).
class BenchWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PassBudgetMs = 15;
    static constexpr qsizetype PieceBytes = 16384;
    static constexpr int ReplyWindowMs = 1000;

    BenchWindow(CommControl *comm, PortAssignments &ports, QWidget *parent = nullptr);
    ~BenchWindow() override;

    const ScanTable &table() const { return m_table; }
    const ScanTally &tally() const { return m_tally; }
    // The counters line as shown.
    QString countersText() const;
    BenchCounters &counters() { return *m_counters; }
    // What the table shows: every row, or those the chosen counter filters.
    const QAbstractItemModel &shownRows() const;
    // Starts loading a list of expected codes, on a thread of its own;
    // listDone() says how it went.
    QString loadList(const QString &file);
    // Writes the report; empty on success, else why not.
    QString saveReport(const QString &csvFile);
    void setEnding(ScanFramer::Ending ending, int silenceMs);
    // Starts the read-rate test as its button does; empty, else why not.
    QString startReadRate(int triggers, int waitMs, int pauseMs);
    ReadRateTest &readRateTest() { return m_test; }
    // Sends a console command as typed; empty when it left, else why not.
    QString sendCommand(const QString &typed);
    const QList<BenchReport::Exchange> &exchanges() const;
    QString readRateText() const;
    // Takes have been worked through, and no silence is awaited.
    bool idle() const { return m_queue.empty() && !m_silenceTimer.isActive(); }

public slots:
    void take(const TakenBytes &taken);
    void reset();

signals:
    // A list loaded (`why` empty) or not, and why.
    void listDone(const QString &why);
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
    void listLoaded(const QString &file, const std::shared_ptr<const CodeList> &codes, qsizetype repeats,
                    const QString &readError);
    void restoreLook();
    void saveLook();

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
    ReadRateTest m_test;

    EndingChooser *m_endings;
    BenchCounters *m_counters;
    QLabel *m_message;
    ScanTableView *m_view;
    ScanFilter *m_filter;
    BenchPanes *m_panes;
    ListLoad *m_load;
    QPushButton *m_missing;
    QPointer<MissingCodesView> m_missingWindow;
    ReadRatePanel *m_readRate;
    ConsolePanel *m_console;
};
