#include "StatusLineState.h"

#include "CommControl.h"
#include "PortAssignments.h"
#include "PortHints.h"
#include "ReceptionBox.h"
#include "StatusLineLabel.h"
#include "StatusText.h"

StatusLineState::StatusLineState(StatusLineLabel *label, CommControl *comm, PortAssignments &ports,
                                 ReceptionBox *box, QObject *parent)
    : QObject(parent), m_label(label), m_comm(comm), m_ports(ports), m_box(box)
{
    connect(box, &ReceptionBox::linesLeftView, this, [this](qint64 total) {
        showMessage(linesLeftText(total, m_box->journal().running()));
    });
    connect(box, &ReceptionBox::journalChanged, this, &StatusLineState::refresh);
    connect(box, &ReceptionBox::journalFailed, this, [this](const QString &file, const QString &why) {
        showMessage(journalFailedText(file, why));
    });
    connect(box, &ReceptionBox::journalNotStarted, this, [this](const QString &file, const QString &why) {
        showMessage(journalNotStartedText(file, why));
    });
    connect(box, &ReceptionBox::journalStopped, this, [this](const QString &file, qint64 bytes) {
        showMessage(journalStoppedText(file, bytes));
    });
    connect(box, &ReceptionBox::journalReopened, this, [this](const QString &file) {
        showMessage(journalReopenedText(file));
    });
    connect(box, &ReceptionBox::saved, this, [this](const QString &file, const QString &why) {
        showMessage(savedText(file, why));
    });
}

void StatusLineState::showMessage(const QString &message)
{
    m_message = message;
    refresh();
}

void StatusLineState::setLengthMessage(const QString &message)
{
    if (message == m_lengthMessage)
        return;
    m_lengthMessage = message;
    refresh();
}

void StatusLineState::showWaiting(const QString &message)
{
    m_waitingText = message;
    showMessage(message);
}

// The wait's message goes when what it says ends: the bytes came (to the
// wait or to a tick inside it) or the port closed.
void StatusLineState::endWaiting()
{
    if (!m_waitingText.isEmpty() && m_message == m_waitingText)
        showMessage(QString());
    m_waitingText.clear();
}

void StatusLineState::commError(CommError error, bool leftTriggered)
{
    const int port = m_comm->CommPort();
    if (error == m_shown.error && port == m_shown.port && m_comm->errorDetail() == m_shown.detail)
        return; // already shown: a failure repeated every tick is shown once
    if (m_shown.error == CommError::DeviceGone && port == m_shown.port && isOpenRefusal(error))
        return; // waiting quietly for the device to come back
    m_shown = {error, port, m_comm->errorDetail()};
    QString text = errorText(error, port, m_comm->devicePath(), m_comm->errorDetail());
    if (leftTriggered)
        text += QLatin1Char(' ') + stillTriggeredText();
    if (error == CommError::NotFound || error == CommError::NotSerial || error == CommError::BadSetting)
        text += QLatin1Char(' ') + presentDevicesHint(port, m_ports);
    showMessage(text);
}

void StatusLineState::portOpenChanged(bool open)
{
    if (!open)
        endWaiting();
    if (open && m_shown.error != CommError::None) {
        const bool returned = m_shown.error == CommError::DeviceGone;
        m_shown = {};
        m_message = returned ? returnText(m_comm->CommPort(), m_comm->devicePath()) : QString();
    }
    if (open)
        showSharers();
    else
        refresh();
}

// Said once per open: the operator decides whether to share the port, and
// learns that the line was not set as the settings say.
void StatusLineState::showSharers()
{
    const QList<PortHolder> holders = m_comm->PortOpen() ? m_comm->otherHolders() : QList<PortHolder>{};
    QStringList said;
    if (m_comm->PortOpen())
        said << m_ports.lineFault(m_comm->CommPort());
    if (!holders.isEmpty())
        said << sharedText(m_comm->CommPort(), m_comm->devicePath(), holders);
    said.removeAll(QString());
    if (!said.isEmpty())
        m_message = said.join(u' ');
    refresh();
}

void StatusLineState::showSettingsProblem()
{
    const QSettings::Status status = m_ports.settingsStatus();
    if (status == m_settingsShown)
        return;
    m_settingsShown = status;
    if (status != QSettings::NoError)
        showMessage(settingsProblemText(status, m_ports.settingsFile()));
}

void StatusLineState::showSettingsNotWritten(const QString &file, const QString &reason)
{
    Q_UNUSED(file);
    showMessage(settingsNotWrittenText(reason));
}

void StatusLineState::refresh()
{
    // An open device the system describes is named by its system path.
    QString device = m_comm->devicePath();
    QString description;
    if (m_comm->PortOpen()) {
        for (const SerialDevice &d : m_ports.present()) {
            if (d.isNamedBy(device)) {
                device = d.systemLocation;
                description = d.description;
                break;
            }
        }
    }
    const LineSettings line = m_comm->line();
    QString text = portStateText(m_comm->PortOpen(), m_comm->CommPort(), device, description,
                                 line.isDefault() ? QString() : line.text());
    if (m_box->journal().running())
        text += journalRunningText(m_box->journal().fileName());
    QStringList messages;
    if (!m_message.isEmpty())
        messages << m_message;
    if (!m_lengthMessage.isEmpty())
        messages << m_lengthMessage;
    if (!messages.isEmpty())
        text += QLatin1Char('\n') + messages.join(QLatin1Char(' '));
    m_label->setMessage(text);
}
