#pragma once

#include "ScanFramer.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QSpinBox;

// How the scanner bench tells where a scan ends, as the operator sets it:
// by a terminator ("automatique", CR, LF, CR LF, TAB, or a byte given in
// hexadecimal) or by a silence of so many milliseconds (the byte's and the
// silence's boxes are enabled for their choice alone).
class EndingChooser : public QWidget
{
    Q_OBJECT
public:
    explicit EndingChooser(QWidget *parent);

    ScanFramer::Ending ending() const;
    int silenceMs() const;
    uchar endByte() const;
    void set(ScanFramer::Ending ending, int silenceMs);
    // As the list shows it: "silence entre les octets", "octet 0x03".
    QString shown() const;
    // As the settings keep it: "silence", "byte:03"; and back (an unknown
    // key changes nothing).
    QString key() const;
    void setKey(const QString &key);
    void setSilenceMs(int ms);

signals:
    void changed();

private:
    QComboBox *m_ending;
    QSpinBox *m_silence;
    QLineEdit *m_byte;
};
