#pragma once

#include "LineSettings.h"

#include <QDialog>

class QComboBox;

// "Paramètres de la ligne…" for one COM number: speed (a list from 1200 to
// 921,600 baud, or any speed typed), data bits, parity, stop bits and flow
// control. Opened with show() from the list's menu, never exec(): the
// reception goes on behind it. chosen() comes when the operator accepts.
class LineSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    LineSettingsDialog(int port, const LineSettings &current, QWidget *parent);

    // What the dialog shows now; nullopt while the typed speed is no speed.
    std::optional<LineSettings> settings() const;
    void display(const LineSettings &line);

    QComboBox *speed;
    QComboBox *dataBits;
    QComboBox *parity;
    QComboBox *stopBits;
    QComboBox *flow;

signals:
    void chosen(int port, const LineSettings &line);

private:
    int m_port;
};
