#pragma once

#include <QSplitter>

class ConsolePanel;
class QScrollArea;
class QToolButton;
class ReadRatePanel;
class ScanTableView;

// The bench's table and, below it, the panels that fold away when not in
// use: the read-rate test and the console. Folded, they take none of the
// table's room; unfolded, they share a pane below it whose height the
// operator sets by dragging the splitter, and scroll within it rather than
// squeeze the table. A third toggle shows the hexadecimal column.
//
// The toggles are given to the window's button row (toggles()). What is
// unfolded and the pane's height in pixels are kept for the next start, as
// text: "test console hexa" and "160".
class BenchPanes : public QSplitter
{
    Q_OBJECT
public:
    BenchPanes(ScanTableView *view, ReadRatePanel *readRate, ConsolePanel *console, QWidget *parent);

    QList<QToolButton *> toggles() const;
    // Unfolds the read-rate test's panel (a test started from elsewhere).
    void showReadRate();

    QString openText() const;
    void setOpenText(const QString &text);
    QString heightText() const;
    void setHeightText(const QString &text);

private:
    QToolButton *toggle(const char *name, const QString &text, const QString &accessible);
    void applyToggles();

    ScanTableView *m_view;
    ReadRatePanel *m_readRate;
    ConsolePanel *m_console;
    QScrollArea *m_tools;
    QToolButton *m_showTest;
    QToolButton *m_showConsole;
    QToolButton *m_showHex;
    int m_toolsHeight = -1; // the pane's height when it was last open; -1: as its panels ask
};
