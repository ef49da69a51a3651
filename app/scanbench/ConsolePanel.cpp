#include "ConsolePanel.h"

#include "CommControl.h"
#include "ConsoleEscapes.h"
#include "ConsoleLine.h"
#include "ScanTable.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

ConsolePanel::ConsolePanel(CommControl *comm, std::function<QString()> busy, QWidget *parent)
    : QWidget(parent), m_comm(comm), m_busy(std::move(busy))
{
    m_line = new ConsoleLine(this);
    m_line->setObjectName(QStringLiteral("console"));
    m_line->setAccessibleName(QStringLiteral("Commande à envoyer"));
    m_line->setPlaceholderText(QStringLiteral("<ESC>A1<CR>   \\x1B, \\r, \\n, <TAB>, <GS>…   ↑ ↓ : commandes précédentes"));
    m_send = new QPushButton(QStringLiteral("En&voyer"), this);
    m_send->setObjectName(QStringLiteral("send"));
    m_view = new QPlainTextEdit(this);
    m_view->setObjectName(QStringLiteral("exchanges"));
    m_view->setReadOnly(true);
    m_view->setAccessibleName(QStringLiteral("Échanges de la console"));
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_view->setMaximumBlockCount(MaxExchanges * 4);
    m_view->setFixedHeight(m_view->fontMetrics().lineSpacing() * 5 + 12);
    auto *label = new QLabel(QStringLiteral("C&onsole :"), this);
    label->setBuddy(m_line);

    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_line, 1);
    row->addWidget(m_send);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);
    layout->addWidget(m_view);

    const auto sendTyped = [this] {
        if (!m_line->text().isEmpty())
            send(m_line->text());
    };
    connect(m_send, &QPushButton::clicked, this, sendTyped);
    connect(m_line, &QLineEdit::returnPressed, this, sendTyped);
    connect(m_line, &ConsoleLine::refused, this, &ConsolePanel::message);
    if (m_comm)
        connect(m_comm, &CommControl::sent, this, [this](const QByteArray &bytes, qint64 ms) { m_lastSent = {bytes, ms}; });
}

QString ConsolePanel::send(const QString &typed)
{
    QString why;
    const std::optional<QByteArray> bytes = ConsoleEscapes::bytesOf(typed, &why);
    if (bytes && bytes->isEmpty())
        why = QStringLiteral("rien à envoyer");
    else if (bytes)
        why = m_busy();
    if (why.isEmpty() && bytes && (!m_comm || !m_comm->PortOpen()))
        why = QStringLiteral("le port est fermé : cliquez sur « Allumer » ou attendez que le minuteur le rouvre.");
    if (!why.isEmpty()) {
        emit message(QStringLiteral("Commande non envoyée : ") + why);
        return why;
    }
    m_lastSent = {{}, -1};
    m_comm->setOutput(QString::fromLatin1(*bytes));
    if (m_lastSent.second < 0) {
        why = QStringLiteral("l'écriture sur le port a échoué.");
        emit message(QStringLiteral("Commande non envoyée : ") + why);
        return why;
    }
    const qint64 wall = QDateTime::currentMSecsSinceEpoch();
    if (m_exchanges.size() >= MaxExchanges)
        m_exchanges.removeFirst();
    m_exchanges.append({wall, m_lastSent.second, *bytes, {}});
    emit commandSent(m_lastSent.second);
    showLine(wall, true, *bytes);
    m_line->remember(typed);
    emit historyChanged(m_line->history());
    emit message({});
    return {};
}

bool ConsolePanel::takeReply(qint64 firstMs, qint64 wallMs, const QByteArray &reply)
{
    BenchReport::Exchange *e = answered(firstMs);
    if (!e)
        return false;
    e->replies.append(reply);
    showLine(wallMs, false, reply);
    return true;
}

BenchReport::Exchange *ConsolePanel::answered(qint64 firstMs)
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

void ConsolePanel::showLine(qint64 wallMs, bool sent, const QByteArray &bytes)
{
    QString line = ScanTable::receivedText(wallMs) + (sent ? QStringLiteral(" → ") : QStringLiteral(" ← "))
        + ConsoleEscapes::shown(bytes);
    if (!sent && bytes.endsWith('\x06'))
        line += QStringLiteral("   (ACK : accepté)");
    else if (!sent && bytes.endsWith('\x15'))
        line += QStringLiteral("   (NAK : refusé)");
    m_view->appendPlainText(line);
}

QStringList ConsolePanel::history() const
{
    return m_line->history();
}

void ConsolePanel::setHistory(const QStringList &history)
{
    m_line->setHistory(history);
}

void ConsolePanel::setSendEnabled(bool enabled)
{
    m_send->setEnabled(enabled);
}
