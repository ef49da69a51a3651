#pragma once

#include "NonPrintingHighlighter.h"
#include "ReceptionJournal.h"

#include <QDateTime>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <deque>
#include <functional>

// The reception box: what the device sent, one line per piece taken.
//
// append() puts one received piece (one character per byte) at the end of
// whatever the box holds, as its characters are shown (ControlPictures),
// then a line break. A piece of up to SliceChars characters goes in at
// once. A longer one is mapped and inserted in slices of SliceChars, as many
// as SliceBudgetMs allows in one pass of the event loop, so that clicks,
// keys and repaints are handled between passes whatever the data rate;
// pieces that come meanwhile wait their turn, and every piece still ends up
// whole, in order, on its own line. Each slice is a block of its own
// (ReceptionLine tells the continuations): the view lays out whole blocks,
// so that following the end lays out a slice or two, however long the
// line. The text the box gives (receptionText(), a copy, a save) joins them
// into one line.
//
// The box holds at most cap() characters. When a piece would pass it, the
// oldest whole lines leave first (linesLeftView() counts them since the
// start); of a piece longer than the cap, only its end is shown, since the
// rest would leave at once. The journal, when running, keeps every byte.
//
// Each received line keeps, as its block's user data (ReceptionLine), the
// time its piece was taken and its bytes: hovering the line, or Ctrl+I on
// the line with the caret, shows them. Lines the operator typed have none.
//
// The view follows the new end unless the operator has scrolled up; the
// operator's selection and caret stay where they were when text comes.
//
// The context menu keeps Qt's entries and adds "Enregistrer sous…",
// "Journal…" (or "Arrêter le journal") and "Effacer". The file dialogs are
// opened with open(), never exec(): the window spends most of its time
// inside a tick's wait, and a modal loop would stop the display.
class ReceptionBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr qsizetype DefaultCap = qsizetype(8) << 20;
    static constexpr qsizetype SliceChars = 4 * 1024;
    static constexpr int SliceBudgetMs = 15;
    using Now = std::function<QDateTime()>;

    explicit ReceptionBox(QWidget *parent = nullptr);
    ~ReceptionBox() override;

    void append(const QString &received);
    // True while slices of a long piece wait.
    bool appending() const { return !m_queue.empty(); }
    // Inserts every waiting slice now.
    void finishAppends();

    // The box's text with each line break as the CR LF the append wrote.
    QString receptionText() const;

    qsizetype cap() const { return m_cap; }
    void setCap(qsizetype chars) { m_cap = qMax<qsizetype>(chars, 16); }
    qint64 linesLeft() const { return m_linesLeft; }
    void setNow(Now now) { m_now = std::move(now); }

    // The form follows the name (.bin: raw bytes), unless given.
    bool startJournal(const QString &fileName);

    // The text's size in points (10 at first), for operators who need it
    // larger: Ctrl + wheel on the box, or Ctrl+plus, Ctrl+minus and Ctrl+0
    // in the window. The control pictures follow it.
    static constexpr int DefaultTextSize = 10;
    int textSize() const { return font().pointSize(); }
    void setTextSize(int points);
    bool startJournal(const QString &fileName, ReceptionJournal::Format format);
    void stopJournal();
    const ReceptionJournal &journal() const { return m_journal; }

    // Writes what the box shows. Empty on success, else why, in French.
    QString save(const QString &fileName, ReceptionJournal::Format format) const;
    // Empties the box; pieces still arriving go on.
    void clearBox();

    // The tooltip of a line: its time and bytes; empty for a typed line.
    QString lineToolTip(int blockNumber) const;

signals:
    // "Banc d'essai…" was chosen in the context menu.
    void benchRequested();
    void linesLeftView(qint64 total);
    void journalChanged();
    void journalFailed(const QString &fileName, const QString &why);     // stopped by a write
    void journalNotStarted(const QString &fileName, const QString &why); // could not open
    void journalReopened(const QString &fileName); // its file had gone: a new one at the name
    void textSizeChanged(int points);
    void journalStopped(const QString &fileName, qint64 bytes); // by the operator
    void saved(const QString &fileName, const QString &why);

protected:
    bool viewportEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    // A paste finds data without a single format when the selection's owner
    // has closed or stopped answering (X11); Qt 6.4 would crash inserting
    // it. Such data is nothing to paste.
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    static constexpr qsizetype JournalChars = qsizetype(1) << 20;

    struct Piece {
        QString received;        // what is left of it to handle
        qsizetype length = 0;    // every byte it had
        QDateTime taken;
        qsizetype next = 0;      // first character not yet handled
        qsizetype shownFrom = 0; // characters before this leave at once
        bool begun = false;
        QByteArray head;         // the first bytes, for the tooltip
        quint64 id = 0;          // its number, in its blocks' ReceptionLine
        bool shown = false;      // a slice of it is in the box
    };
    QTextBlock shownStart() const;
    static bool isContinuation(const QTextBlock &block);
    void pass(int steps);
    void adaptSteps(qint64 tookNs);
    void step(QTextCursor &c, int &removed);
    void planShown();
    void makeRoom(qsizetype chars);
    void journalWrote(bool ok);
    void showLineToolTip();
    void hideLineToolTip();
    void openFileDialog(bool journal);
    void confirmSave(const QString &file, ReceptionJournal::Format format);

    std::deque<Piece> m_queue;
    QTimer m_slices;
    static constexpr int MaxStepsPerPass = 4096;
    int m_stepsPerPass = 16; // slices in a pass of m_slices (adaptSteps)
    qsizetype m_cap = DefaultCap;
    qint64 m_linesLeft = 0;
    quint64 m_pieces = 0;
    Now m_now = [] { return QDateTime::currentDateTime(); };
    ReceptionJournal m_journal;
    NonPrintingHighlighter *m_highlighter = nullptr;
    bool m_tipShown = false; // a line's tooltip of this box is up
};
