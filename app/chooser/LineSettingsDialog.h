#pragma once

#include "LineSettings.h"

#include <QDialog>

class QComboBox;
class QLabel;

// "Paramètres de la ligne…" for one COM number: speed (a list from 1200 to
// 921,600 baud, or any speed typed), data bits, parity, stop bits and flow
// control. Opened with show() from the list's menu, never exec(): the
// reception goes on behind it. chosen() comes when the operator accepts
// what the line can be set to; otherwise OK says why beside the field (a
// speed that is no speed, stop bits this system cannot set) and the dialog
// stays.
class LineSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    LineSettingsDialog(int port, const LineSettings &current, QWidget *parent);

    // What the dialog shows now; nullopt while the typed speed is no speed.
    std::optional<LineSettings> settings() const;
    // Why what the dialog shows cannot be set, beside the field at fault;
    // empty when it can.
    QString problem() const;
    void display(const LineSettings &line);

    QComboBox *speed;
    QComboBox *dataBits;
    QComboBox *parity;
    QComboBox *stopBits;
    QComboBox *flow;

signals:
    void chosen(int port, const LineSettings &line);

private:
    // Says what is wrong beside its field; true when nothing is.
    bool check();

    int m_port;
    QLabel *m_speedProblem;
    QLabel *m_stopProblem;
};
