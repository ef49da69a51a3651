#pragma once

#include "CommError.h"

#include <QObject>
#include <QSettings>
#include <QString>

class CommControl;
class PortAssignments;
class ReceptionBox;
class StatusLineLabel;

// What the status line says, and when. Its first line is the port's state
// (from the serial control: open or closed, which device, which line
// settings, the journal when one runs); below it, the latest message, then
// the complaint about "Longueur a lire" for as long as that text is not a
// length.
//
// A failure repeated at every tick is said once; "appareil déconnecté"
// stays while the reopening fails quietly, until the device is back. The
// switch-on wait's message goes when what it says ends. Settings that could
// not be read are said once, until they read again. The reception box's
// news (lines gone from view, journal, save) are messages too.
class StatusLineState : public QObject
{
    Q_OBJECT
public:
    StatusLineState(StatusLineLabel *label, CommControl *comm, PortAssignments &ports, ReceptionBox *box,
                    QObject *parent = nullptr);

    void showMessage(const QString &message);
    QString message() const { return m_message; }
    // Empty while "Longueur a lire" holds a length.
    void setLengthMessage(const QString &message);
    // A wait that says so, and its end.
    void showWaiting(const QString &message);
    void endWaiting();

    // A failure of the serial control; `leftTriggered`: the device went
    // away while a triggered read ran on it.
    void commError(CommError error, bool leftTriggered);
    void portOpenChanged(bool open);
    // Other programs that hold the open device: said once per open.
    void showSharers();
    void showSettingsProblem();
    // A settings write failed (SettingsQueue says so once per file).
    void showSettingsNotWritten(const QString &file, const QString &reason);
    void refresh();

private:
    StatusLineLabel *m_label;
    CommControl *m_comm;
    PortAssignments &m_ports;
    ReceptionBox *m_box;

    struct ShownError {
        CommError error = CommError::None;
        int port = 0;
        QString detail;
    } m_shown;
    QString m_message;       // the second line
    QString m_lengthMessage; // set while "Longueur a lire" is not valid
    QString m_waitingText;   // "Allumer" waits, and says so
    QSettings::Status m_settingsShown = QSettings::NoError;
};
