#pragma once

#include "ReadRateFigures.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class ReadRateTest;

// The scanner bench's read-rate test as the operator sets and runs it: the
// number of triggers, the wait for a scan and the pause, a button that runs
// or stops it, its progress, and its last result. Numbers are French
// ("2 500 ms") whatever the process's locale.
class ReadRatePanel : public QWidget
{
    Q_OBJECT
public:
    // `framingGraceMs`: how long after its last byte the bench takes a scan
    // to have ended (the silence, when scans end by silence).
    ReadRatePanel(ReadRateTest &test, std::function<int()> framingGraceMs, QWidget *parent);

    // Starts the test as the button does: empty, else why not.
    QString start(int triggers, int waitMs, int pauseMs);
    // The last result in full, its histogram drawn in bars (the tooltip);
    // empty before the first.
    QString resultText() const;
    // The same in two lines, as the panel shows it: the bins that hold a
    // read by their counts.
    QString shortText() const;
    const std::optional<ReadRateFigures> &lastFigures() const { return m_last; }
    // "100 gâchettes, attente 1000 ms, pause 200 ms".
    QString lastSetting() const { return m_lastSetting; }
    // The three values as the settings keep them: "100 1000 200".
    QString settingsText() const;
    void setSettingsText(const QString &text);

signals:
    void message(const QString &text);
    void runningChanged(bool running);

private:
    void finished(const ReadRateFigures &figures, const QString &why);

    ReadRateTest &m_test;
    std::function<int()> m_framingGraceMs;
    std::optional<ReadRateFigures> m_last;
    QString m_lastSetting;
    QSpinBox *m_triggers;
    QSpinBox *m_waitMs;
    QSpinBox *m_pauseMs;
    QPushButton *m_run;
    QProgressBar *m_progress;
    QLabel *m_result;
};
