#pragma once

#include "ScanFramer.h"
#include "ScanTable.h"
#include "ScanTally.h"
#include "TakenBytes.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>

class CommControl;
class PortAssignments;
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
// Its size, place and framing are kept in the settings file beside the
// ports:
//
//   [Bench]
//   geometry=10 20 900 500
//   ending=silence
//   silenceMs=80
class BenchWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PassBudgetMs = 15;
    static constexpr qsizetype PieceBytes = 16384;

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
    // Takes have been worked through, and no silence is awaited.
    bool idle() const { return m_queue.empty() && !m_silenceTimer.isActive(); }

public slots:
    void take(const TakenBytes &taken);
    void reset();

signals:
    // The window was hidden: it no longer needs the takes.
    void hidden();
    // A save or a load finished: its outcome, as the window shows it.
    void message(const QString &text);

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

    QComboBox *m_ending;
    QSpinBox *m_silence;
    QLabel *m_counters;
    QLabel *m_message;
    QTableView *m_view;
    QPushButton *m_missing;
    QPointer<QPlainTextEdit> m_missingWindow;
};
