#include "PortAssignments.h"

#include "ComDevice.h"

#include <QFileInfo>

#include <algorithm>

PortAssignments::PortAssignments(QString settingsFile, std::optional<QProcessEnvironment> env, Enumerate enumerate,
                                 Stamp stamp)
    : m_settings(std::move(settingsFile)),
      m_env(std::move(env)),
      m_enumerate(std::move(enumerate)),
      m_stamp(std::move(stamp))
{
}

ComVariable PortAssignments::variable(int n) const
{
    return m_env ? ComVariable{m_env->value(comVariableName(n))} : comVariable(n);
}

SettingsStore::Snapshot PortAssignments::snapshot() const
{
    SettingsStore::Snapshot snap = m_settings.read();
    for (const auto &[n, entry] : m_session)
        snap.entries[size_t(n)] = entry;
    m_status = snap.status;
    return snap;
}

void PortAssignments::refresh()
{
    if (m_stamp)
        m_lastStamp = m_stamp();
    QList<SerialDevice> devices = m_enumerate ? m_enumerate() : QList<SerialDevice>{};
    // Built-in ports first, in their system order; the others as listed.
    std::stable_sort(devices.begin(), devices.end(), [](const SerialDevice &a, const SerialDevice &b) {
        if (a.builtIn != b.builtIn)
            return a.builtIn;
        return a.builtIn && a.builtInIndex() < b.builtInIndex();
    });
    m_present = devices;

    dropDuplicates(snapshot());
    const SettingsStore::Snapshot snap = snapshot();
    std::array<bool, Count + 1> taken{};
    QStringList named; // every path a number already stands for
    for (int n = 1; n <= Count; ++n) {
        const QString v = variable(n).value;
        const SettingsStore::Entry &e = snap.entries[size_t(n)];
        taken[size_t(n)] = !v.isEmpty() || e.isSet();
        // A device keeps its saved number while a variable stands over it.
        if (!v.isEmpty())
            named << v;
        if (e.valid && e.isSet())
            named << e.path;
    }

    for (const SerialDevice &d : std::as_const(m_present)) {
        const bool known = std::any_of(named.cbegin(), named.cend(),
                                       [&d](const QString &p) { return d.isNamedBy(p); });
        if (known)
            continue;
        // A built-in port whose own number a variable stands over for now
        // (the demo's COM1) waits for it: numbered elsewhere, it would have
        // two numbers once the variable is gone.
        const int own = defaultNumberOf(d);
        if (own > 0 && !variable(own).value.isEmpty() && !snap.entries[size_t(own)].isSet())
            continue;
        const auto free = std::find(taken.begin() + 1, taken.end(), false);
        if (free == taken.end())
            break; // eight numbers, all given
        const int n = int(free - taken.begin());
        *free = true;
        named << d.stableName();
        store(n, d.stableName(), true);
    }
}

// The same device, named two ways or one: the same path, one present device
// that both name, or the same node once links are followed.
bool PortAssignments::sameDevice(const QString &a, const QString &b) const
{
    if (a == b)
        return true;
    for (const SerialDevice &d : m_present)
        if (d.isNamedBy(a) && d.isNamedBy(b))
            return true;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// The number whose default device (COM n: /dev/ttyS<n-1>) `d` is; 0 if none.
int PortAssignments::defaultNumberOf(const SerialDevice &d) const
{
    for (int m = 1; m <= Count; ++m)
        if (d.isNamedBy(comDevicePath(m, QProcessEnvironment())))
            return m;
    return 0;
}

// One device, one number. An automatic number is given back when its device
// is already the operator's choice for another number, an earlier automatic
// number, or the default of a number left free (an earlier run numbered
// /dev/ttyS0 as COM2 while a variable stood over COM1). The operator's own
// choices are never touched.
void PortAssignments::dropDuplicates(const SettingsStore::Snapshot &snap)
{
    for (int n = 1; n <= Count; ++n) {
        const SettingsStore::Entry &e = snap.entries[size_t(n)];
        if (!e.isSet() || !e.valid || !e.automatic)
            continue;
        for (int m = 1; m <= Count; ++m) {
            if (m == n)
                continue;
            const SettingsStore::Entry &o = snap.entries[size_t(m)];
            const bool taken = o.isSet() ? o.valid && (!o.automatic || m < n) && sameDevice(o.path, e.path)
                                         : variable(m).value.isEmpty()
                                             && sameDevice(comDevicePath(m, QProcessEnvironment()), e.path);
            if (taken) {
                store(n, QString(), false);
                break;
            }
        }
    }
}

void PortAssignments::refreshIfChanged()
{
    if (!m_lastStamp || !m_stamp || m_stamp() != *m_lastStamp)
        refresh();
}

PortAssignments::Resolution PortAssignments::resolve(int n) const
{
    return resolveFrom(n, snapshot());
}

PortRoutes::Route PortAssignments::route(int n) const
{
    // One reading of the settings for the device and the line.
    const SettingsStore::Snapshot snap = snapshot();
    const Resolution r = resolveFrom(n, snap);
    Route route{r.path, CommError::None, {}, {}, lineFrom(n, snap)};
    if (!r.validPath) {
        const bool variable = r.source == Source::Variable;
        route.refusal = variable ? CommError::PathNotText : CommError::BadSetting;
        route.shown = r.raw;
        route.detail = variable ? comVariableName(n) : settingsFile();
    }
    return route;
}

QList<PortAssignments::Resolution> PortAssignments::resolveAll() const
{
    const SettingsStore::Snapshot snap = snapshot();
    QList<Resolution> all;
    for (int n = 1; n <= Count; ++n)
        all << resolveFrom(n, snap);
    return all;
}

PortAssignments::Resolution PortAssignments::resolveFrom(int n, const SettingsStore::Snapshot &snap) const
{
    Resolution r;
    r.port = n;
    if (n < 1)
        return r;
    const ComVariable v = variable(n);
    const SettingsStore::Entry e = n <= Count ? snap.entries[size_t(n)] : SettingsStore::Entry{};
    if (!v.value.isEmpty()) {
        r.source = Source::Variable;
        r.validPath = v.isText;
        (v.isText ? r.path : r.raw) = v.value;
    } else if (e.isSet()) {
        r.path = e.path;
        r.raw = e.raw;
        r.validPath = e.valid;
        r.source = e.automatic ? Source::Automatic : Source::Chosen;
    } else {
        r.path = comDevicePath(n, QProcessEnvironment());
    }
    if (r.validPath) {
        for (const SerialDevice &d : m_present) {
            if (d.isNamedBy(r.path)) {
                r.device = d;
                break;
            }
        }
    }
    return r;
}

int PortAssignments::portOf(const SerialDevice &device) const
{
    for (const Resolution &r : resolveAll()) {
        if (r.source != Source::Default && r.validPath && device.isNamedBy(r.path))
            return r.port;
    }
    return 0;
}

bool PortAssignments::store(int n, const QString &path, bool automatic)
{
    const bool saved = m_status != QSettings::AccessError && m_settings.write(n, path, automatic);
    if (saved) {
        m_session.erase(n);
        return true;
    }
    SettingsStore::Entry e;
    e.path = path;
    e.raw = path;
    e.automatic = automatic && !path.isEmpty();
    m_session[n] = e;
    return false;
}

bool PortAssignments::choose(int n, const QString &path)
{
    if (n < 1 || n > Count || path.isEmpty())
        return false;
    bool saved = true;
    // The device leaves the number it stood for: one number per device.
    for (const Resolution &r : resolveAll()) { // the file's state now, before writing to it
        if (r.port != n && (r.source == Source::Chosen || r.source == Source::Automatic) && r.path == path)
            saved = store(r.port, QString(), false) && saved;
    }
    return store(n, path, false) && saved;
}

LineSettings PortAssignments::line(int n) const
{
    return lineFrom(n, m_settings.read());
}

LineSettings PortAssignments::lineFrom(int n, const SettingsStore::Snapshot &snap) const
{
    if (n < 1 || n > Count)
        return {};
    if (const auto it = m_sessionLines.find(n); it != m_sessionLines.end())
        return it->second;
    return snap.lines[size_t(n)];
}

QString PortAssignments::lineFault(int n) const
{
    if (n < 1 || n > Count || m_sessionLines.count(n))
        return {};
    const SettingsStore::Snapshot snap = snapshot();
    QStringList said;
    for (const LineSettings::Fault &f : snap.lineFaults[size_t(n)])
        said << f.what + QStringLiteral(" dans les réglages de COM") + QString::number(n) + QStringLiteral(" : ") + f.used
                + QStringLiteral(" utilisé");
    return said.isEmpty() ? QString() : said.join(QStringLiteral(" ; ")) + u'.';
}

bool PortAssignments::setLine(int n, const LineSettings &line)
{
    if (n < 1 || n > Count)
        return false;
    if (m_settings.writeLine(n, line)) {
        m_sessionLines.erase(n);
        return true;
    }
    m_sessionLines[n] = line;
    return false;
}

bool PortAssignments::release(int n)
{
    if (n < 1 || n > Count)
        return false;
    snapshot(); // the file's state now, before writing to it
    return store(n, QString(), false);
}
