#include "PortSettings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLockFile>
#include <QThread>
#include <QTimeZone>
#include <QStandardPaths>

namespace {

const QString PortsGroup = QStringLiteral("Ports");
const QString AutoGroup = QStringLiteral("AutoPorts");
const QString LinesGroup = QStringLiteral("Lines");

QString key(int n)
{
    return QStringLiteral("COM") + QString::number(n);
}

// The value as the messages name it. One QSettings read as another type
// than text (@Variant(...), @Point(...), @ByteArray(...)) is named by what it
// is, so that it is reported, never taken for an empty entry.
QString rawText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return QStringLiteral("@") + QString::fromLatin1(v.typeName() ? v.typeName() : "?")
        + QStringLiteral("(…)");
}

bool isDevicePath(const QVariant &v)
{
    if (v.typeId() != QMetaType::QString)
        return false;
    const QString s = v.toString();
#ifdef Q_OS_WIN
    return !s.isEmpty() && !s.contains(QLatin1Char('\n'));
#else
    return s.startsWith(QLatin1Char('/')) && !s.contains(QLatin1Char('\n'));
#endif
}

// Every instance writes the file under this lock, waited for at most `ms`:
// another instance holds it while its write lasts (a millisecond, up to a
// hundred on a slow disk's sync), and the window's thread never waits
// longer; the change then holds for the session. QSettings' own lock has no
// bound and sleeps 100 ms and more between tries; held here, it is free.
class WriteLock
{
public:
    WriteLock(const QString &fileName, int ms) : m_lock(fileName + QStringLiteral(".writing"))
    {
        QElapsedTimer waited;
        waited.start();
        while (!(m_held = m_lock.tryLock(0))) {
            if (m_lock.error() != QLockFile::LockFailedError || waited.elapsed() >= ms)
                return;
            QThread::msleep(2);
        }
    }
    bool held() const { return m_held; }

private:
    QLockFile m_lock;
    bool m_held = false;
};

// QSettings takes a file it read before for unchanged while its size and its
// time to the millisecond are: another instance's write of the same size in
// the same clock tick would go unseen, and be overwritten. Stamped with a
// time this process has never seen (in the 1980s, made of its pid and a
// count), the file is read again before the write.
void stampUnseen(const QString &fileName)
{
    static qint64 count = 0;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return;
    constexpr qint64 Base = 315532800000; // 1980-01-01
    const qint64 ms = Base + ((qint64(QCoreApplication::applicationPid()) & 0x3FFFFF) << 16) + (++count & 0xFFFF);
    f.setFileTime(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()), QFileDevice::FileModificationTime);
}

} // namespace

PortSettings::PortSettings(QString fileName)
    : m_fileName(std::move(fileName))
{
}

QString PortSettings::userFileName()
{
#ifdef Q_OS_WIN
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"))
        .fileName();
#else
    // QSettings keeps the folder it found first for the whole process; the
    // same rule, read now, follows a changed XDG_CONFIG_HOME.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Vantrel/Vantrel.conf");
#endif
}

PortSettings::Snapshot PortSettings::read() const
{
    Snapshot snap;
    const QFileInfo info(m_fileName);
    if (!info.exists())
        return snap;
    if (!info.isFile() || !info.isReadable()) {
        snap.status = QSettings::AccessError;
        return snap;
    }
    QSettings s(m_fileName, QSettings::IniFormat);
    snap.status = s.status();
    for (int n = 1; n <= Count; ++n) {
        const QVariant v = s.value(PortsGroup + QLatin1Char('/') + key(n));
        if (!v.isValid())
            continue;
        Entry &e = snap.entries[size_t(n)];
        e.raw = rawText(v);
        if (e.raw.isEmpty())
            continue; // "COM1=" leaves the number to the system
        e.valid = isDevicePath(v);
        if (e.valid)
            e.path = v.toString();
        const QVariant a = s.value(AutoGroup + QLatin1Char('/') + key(n));
        e.automatic = e.valid && a.typeId() == QMetaType::QString && a.toString() == e.path;
    }
    for (int n = 1; n <= Count; ++n) {
        const QVariant v = s.value(LinesGroup + QLatin1Char('/') + key(n));
        if (const auto line = LineSettings::fromText(rawText(v)))
            snap.lines[size_t(n)] = *line;
    }
    return snap;
}

bool PortSettings::write(int n, const QString &path, bool automatic)
{
    if (n < 1 || n > Count)
        return false;
    return change({{PortsGroup + QLatin1Char('/') + key(n), path},
                   {AutoGroup + QLatin1Char('/') + key(n), automatic ? path : QString()}});
}

QHash<QString, QString> PortSettings::values(const QString &group) const
{
    QHash<QString, QString> out;
    if (!QFileInfo(m_fileName).isFile())
        return out;
    QSettings s(m_fileName, QSettings::IniFormat);
    s.beginGroup(group);
    for (const QString &key : s.childKeys())
        out.insert(key, rawText(s.value(key)));
    return out;
}

bool PortSettings::writeValues(const QString &group, const QList<std::pair<QString, QString>> &values)
{
    QList<std::pair<QString, QString>> edits;
    bool removalsOnly = true;
    for (const auto &[key, value] : values) {
        edits.append({group + QLatin1Char('/') + key, value});
        removalsOnly = removalsOnly && value.isEmpty();
    }
    if (removalsOnly && !QFileInfo::exists(m_fileName))
        return true; // nothing to remove from a file that is not there, and no folder made for it
    return change(edits);
}

bool PortSettings::writeLine(int n, const LineSettings &line)
{
    if (n < 1 || n > Count)
        return false;
    return change({{LinesGroup + QLatin1Char('/') + key(n), line.isDefault() ? QString() : line.text()}});
}

// Sets (or, with an empty value, removes) each key. QSettings writes the
// file: under its lock, it reads the file again when another instance
// changed it since, so that two windows writing at once lose nothing, and
// replaces it atomically. A file it could not parse is left as it is.
bool PortSettings::change(const QList<std::pair<QString, QString>> &edits)
{
    const QFileInfo info(m_fileName);
    if (!QDir().mkpath(info.absolutePath()) || (info.exists() && !info.isFile()))
        return false;
    const auto holds = [&edits](const QSettings &s) {
        for (const auto &[key, value] : edits) {
            const QVariant now = s.value(key);
            if (value.isEmpty() ? now.isValid() : now.typeId() != QMetaType::QString || now.toString() != value)
                return false;
        }
        return true;
    };
    {
        const QSettings s(m_fileName, QSettings::IniFormat);
        if (s.status() != QSettings::NoError)
            return false;
        if (holds(s))
            return true; // nothing to write
    }
    const WriteLock lock(m_fileName, LockWaitMs);
    if (!lock.held())
        return false;
    stampUnseen(m_fileName);
    {
        QSettings s(m_fileName, QSettings::IniFormat);
        for (const auto &[key, value] : edits) {
            if (value.isEmpty())
                s.remove(key);
            else
                s.setValue(key, value);
        }
        s.sync();
        if (s.status() == QSettings::NoError)
            return true;
        if (s.status() == QSettings::AccessError)
            return false;
    }
    // Qt 6.4 reports a format error after writing a file that began with a
    // byte-order mark, although the file is written whole: then the file
    // read back says what holds.
    return holds(QSettings(m_fileName, QSettings::IniFormat));
}
