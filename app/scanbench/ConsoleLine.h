#pragma once

#include <QLineEdit>
#include <QStringList>

// The console's command line, with the commands sent before: Up goes back
// through them, Down forward again, to the line being typed. The newest
// comes first; at most MaxHistory are kept, a repeat only once.
//
// It holds up to ConsoleEscapes::MaxTyped characters, not QLineEdit's
// 32,767: a paste or a drop that would make it longer is refused whole,
// never cut (a cut could fall inside an escape), and refused() says so.
class ConsoleLine : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int MaxHistory = 50;

    explicit ConsoleLine(QWidget *parent = nullptr);

    const QStringList &history() const { return m_history; }
    void setHistory(const QStringList &commands);
    // Puts a sent command first in the history and empties the line.
    void remember(const QString &command);

signals:
    void refused(const QString &why);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void checkLength();

    QString m_kept;     // the text before the last edit, when within the limit
    int m_keptCursor = 0;
    QStringList m_history;
    int m_at = -1;      // where Up and Down are in the history; -1: the line typed
    QString m_typed;    // the line being typed, kept while browsing
};
