#pragma once

#include "BenchReport.h"

#include <QWidget>

#include <functional>

class CommControl;
class ConsoleLine;
class QPlainTextEdit;
class QPushButton;

// The scanner bench's console: a command typed with its escapes, sent on
// the open port, and the exchanges shown one line each (→ sent, ← reply,
// ACK and NAK named). A command opens a reply window of ReplyWindowMs; the
// bench gives the scans that begin in it to takeReply(). A scanner answers
// commands in order: a reply goes to the oldest command whose window it
// falls in and that has none yet, else to the newest whose window it falls
// in.
class ConsolePanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ReplyWindowMs = 1000;
    static constexpr int MaxExchanges = 1000;

    // `busy`: why nothing may be sent now (a read-rate test running), or
    // empty.
    ConsolePanel(CommControl *comm, std::function<QString()> busy, QWidget *parent);

    // Sends a command as typed; empty when it left, else why not.
    QString send(const QString &typed);
    // A scan that began at `firstMs` (received at `wallMs`): true when it
    // answers a command, and is then kept and shown as its reply.
    bool takeReply(qint64 firstMs, qint64 wallMs, const QByteArray &reply);
    const QList<BenchReport::Exchange> &exchanges() const { return m_exchanges; }

    QStringList history() const;
    void setHistory(const QStringList &history);
    void setSendEnabled(bool enabled);

signals:
    // A command left at `sentMs` (TakenBytes::nowMs()): its reply window opens.
    void commandSent(qint64 sentMs);
    void historyChanged(const QStringList &history);
    void message(const QString &text);

private:
    BenchReport::Exchange *answered(qint64 firstMs);
    void showLine(qint64 wallMs, bool sent, const QByteArray &bytes);

    CommControl *m_comm;
    std::function<QString()> m_busy;
    QList<BenchReport::Exchange> m_exchanges;
    std::pair<QByteArray, qint64> m_lastSent{{}, -1};
    ConsoleLine *m_line;
    QPushButton *m_send;
    QPlainTextEdit *m_view;
};
