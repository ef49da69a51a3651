#pragma once

#include "ScanFramer.h"

#include <QWidget>

class QComboBox;
class QSpinBox;

// How the scanner bench tells where a scan ends, as the operator sets it:
// by a terminator ("automatique", CR, LF, CR LF) or by a silence of so many
// milliseconds (the silence's box is enabled for that choice alone).
class EndingChooser : public QWidget
{
    Q_OBJECT
public:
    explicit EndingChooser(QWidget *parent);

    ScanFramer::Ending ending() const;
    int silenceMs() const;
    void set(ScanFramer::Ending ending, int silenceMs);
    // As the list shows it: "silence entre les octets".
    QString shown() const;
    // As the settings keep it: "silence"; and back (an unknown key changes nothing).
    QString key() const;
    void setKey(const QString &key);
    void setSilenceMs(int ms);

signals:
    void changed();

private:
    QComboBox *m_ending;
    QSpinBox *m_silence;
};
