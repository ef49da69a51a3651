#pragma once

#include "ComDevice.h"
#include "PortRoutes.h"
#include "SettingsStore.h"
#include "SerialDevice.h"

#include <QProcessEnvironment>

#include <functional>
#include <map>
#include <optional>

// Which device stands for COM n, as the system on the operators' former
// benches decided it, in this order:
//
//  1. VANTREL_COM<n>, when set and not empty (for scripts and tests);
//  2. the device the user's settings give COM n (SettingsStore): chosen by
//     the operator, hand-written, or given earlier by step 3;
//  3. the first time a serial device is seen, it gets the lowest number from
//     1 to 8 that neither the settings nor a variable already use, and keeps
//     it (saved in the settings) across unplug, replug and restarts. Built-in
//     ports come first in their system order, then the others in the order
//     they are first seen. A device is known by its stable name, which is
//     what is saved;
//  4. otherwise /dev/ttyS<n-1> (COM<n> on Windows), as comDevicePath() says.
//
// The numbering happens in refresh(), which lists the present devices: when
// the window starts, when the list's menu opens, and, through
// refreshIfChanged(), when an open fails and something was plugged or
// unplugged since the last listing. resolve() only reads the settings, so a
// choice made in another window is seen at the next open. No port is opened
// here.
//
// A settings file that cannot be written keeps choices for the session:
// choose() and release() say so, and resolve() uses them until the end.
//
// The serial control asks it, as PortRoutes, what to open for COM n.
class PortAssignments : public PortRoutes
{
public:
    static constexpr int Count = SettingsStore::Count;

    enum class Source { Variable, Chosen, Automatic, Default };

    struct Resolution {
        int port = 0;
        QString path;                        // what the open uses
        Source source = Source::Default;
        bool validPath = true;               // false: the settings or the variable hold something else
        QString raw;                         // what they hold, for messages
        std::optional<SerialDevice> device;  // the present device the path names
    };

    using Enumerate = std::function<QList<SerialDevice>()>;
    using Stamp = std::function<qint64()>;

    // env: the variables to read; none means the process's own, read anew at
    // each resolve. enumerate and stamp list the devices (tests give their own).
    explicit PortAssignments(QString settingsFile = SettingsStore::userFileName(),
                             std::optional<QProcessEnvironment> env = std::nullopt,
                             Enumerate enumerate = presentSerialDevices,
                             Stamp stamp = serialDeviceStamp);

    // Lists the present devices and numbers the new ones.
    void refresh();
    // As refresh(), only when a device node came or went since the last one.
    void refreshIfChanged();

    Resolution resolve(int n) const;
    // What the serial control opens: the resolution and the line of COM n.
    Route route(int n) const override;
    // COM1 to COM8, from one reading of the settings.
    QList<Resolution> resolveAll() const;
    const QList<SerialDevice> &present() const { return m_present; }
    // The COM number that stands for this device (1 to 8), or 0.
    int portOf(const SerialDevice &device) const;

    // The operator gives COM n to `path`, or gives the number back. A device
    // that stood for another number leaves it. False when the settings could
    // not be written: the choice then holds for this session only.
    bool choose(int n, const QString &path);
    bool release(int n);

    // How the line of COM n is set (9600 8N1 unless the operator changed
    // it), and the operator's change, kept in the settings. False when they
    // could not be written: the change then holds for this session only.
    LineSettings line(int n) const;
    bool setLine(int n, const LineSettings &line);
    // What is wrong in the settings' line of COM n, for the status line:
    // "vitesse « abc » invalide dans les réglages de COM1 : 9600 utilisé".
    // Empty when it reads whole, or when a change of this session holds.
    QString lineFault(int n) const;

    QString settingsFile() const { return m_settings.fileName(); }
    // How the settings file read at the last refresh or resolve.
    QSettings::Status settingsStatus() const { return m_status; }
    // True once a choice or a numbering could not be saved.
    bool unsaved() const { return !m_session.empty(); }

private:
    SettingsStore::Snapshot snapshot() const;
    Resolution resolveFrom(int n, const SettingsStore::Snapshot &snap) const;
    LineSettings lineFrom(int n, const SettingsStore::Snapshot &snap) const;
    ComVariable variable(int n) const;
    bool store(int n, const QString &path, bool automatic);
    bool sameDevice(const QString &a, const QString &b) const;
    int defaultNumberOf(const SerialDevice &d) const;
    void dropDuplicates(const SettingsStore::Snapshot &snap);

    SettingsStore m_settings;
    std::optional<QProcessEnvironment> m_env; // none: the process's, read each time
    Enumerate m_enumerate;
    Stamp m_stamp;
    QList<SerialDevice> m_present;
    std::optional<qint64> m_lastStamp;
    mutable QSettings::Status m_status = QSettings::NoError;
    std::map<int, LineSettings> m_sessionLines; // changes the file could not keep
    // Entries that could not be saved, over what the file says.
    std::map<int, SettingsStore::Entry> m_session;
};
