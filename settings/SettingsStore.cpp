#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLockFile>
#include <QThread>
#include <QScopeGuard>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Puts the file `from` in place of `to` in one step, whatever stood there.
// Windows' rename refuses a name that exists: MoveFileEx replaces it.
bool replaceFile(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()), reinterpret_cast<const wchar_t *>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING)
        != 0;
#else
    std::error_code failed;
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), failed);
    return !failed;
#endif
}

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

// Every instance writes the file under this lock. Another instance holds it
// while its write lasts (a millisecond, up to a hundred on a slow disk's
// sync); a write that cannot have it within its wait is kept for later
// (SettingsQueue), never dropped. QSettings' own lock has no bound and
// sleeps 100 ms and more between tries; held here, it is free.
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
    // Held by another instance, as opposed to impossible to take.
    bool busy() const { return !m_held && m_lock.error() == QLockFile::LockFailedError; }

private:
    QLockFile m_lock;
    bool m_held = false;
};

} // namespace

SettingsStore::SettingsStore(QString fileName)
    : m_fileName(std::move(fileName))
{
}

QString SettingsStore::userFileName()
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

SettingsStore::Snapshot SettingsStore::read() const
{
    Snapshot snap;
    const QFileInfo info(m_fileName);
    std::optional<QSettings> file;
    if (info.exists()) {
        if (!info.isFile() || !info.isReadable())
            snap.status = QSettings::AccessError;
        else
            file.emplace(m_fileName, QSettings::IniFormat);
    }
    if (file)
        snap.status = file->status();
    // What this process changed and is still to write counts as written.
    const SettingsQueue &queue = SettingsQueue::instance();
    const auto value = [&](const QString &k) -> QVariant {
        if (const std::optional<QString> w = queue.waiting(m_fileName, k))
            return w->isEmpty() ? QVariant() : QVariant(*w);
        return file ? file->value(k) : QVariant();
    };
    for (int n = 1; n <= Count; ++n) {
        const QVariant v = value(PortsGroup + QLatin1Char('/') + key(n));
        if (!v.isValid())
            continue;
        Entry &e = snap.entries[size_t(n)];
        e.raw = rawText(v);
        if (e.raw.isEmpty())
            continue; // "COM1=" leaves the number to the system
        e.valid = isDevicePath(v);
        if (e.valid)
            e.path = v.toString();
        const QVariant a = value(AutoGroup + QLatin1Char('/') + key(n));
        e.automatic = e.valid && a.typeId() == QMetaType::QString && a.toString() == e.path;
    }
    for (int n = 1; n <= Count; ++n) {
        const QVariant v = value(LinesGroup + QLatin1Char('/') + key(n));
        if (!v.isValid())
            continue;
        snap.lines[size_t(n)] = LineSettings::read(rawText(v), &snap.lineFaults[size_t(n)]);
    }
    return snap;
}

bool SettingsStore::write(int n, const QString &path, bool automatic)
{
    if (n < 1 || n > Count)
        return false;
    return change({{PortsGroup + QLatin1Char('/') + key(n), path},
                   {AutoGroup + QLatin1Char('/') + key(n), automatic ? path : QString()}});
}

QHash<QString, QString> SettingsStore::values(const QString &group) const
{
    QHash<QString, QString> out;
    if (QFileInfo(m_fileName).isFile()) {
        QSettings s(m_fileName, QSettings::IniFormat);
        s.beginGroup(group);
        for (const QString &key : s.childKeys())
            out.insert(key, rawText(s.value(key)));
    }
    // What this process changed and is still to write counts as written.
    const SettingsQueue::Edits waiting = SettingsQueue::instance().waitingIn(m_fileName, group);
    for (auto it = waiting.begin(); it != waiting.end(); ++it) {
        if (it.value().isEmpty())
            out.remove(it.key());
        else
            out.insert(it.key(), it.value());
    }
    return out;
}

bool SettingsStore::writeValues(const QString &group, const QList<std::pair<QString, QString>> &values)
{
    QList<std::pair<QString, QString>> edits;
    for (const auto &[key, value] : values)
        edits.append({group + QLatin1Char('/') + key, value});
    return change(edits);
}

bool SettingsStore::writeLine(int n, const LineSettings &line)
{
    if (n < 1 || n > Count)
        return false;
    return change({{LinesGroup + QLatin1Char('/') + key(n), line.isDefault() ? QString() : line.text()}});
}

bool SettingsStore::writeValuesLater(const QString &group, const QList<std::pair<QString, QString>> &values)
{
    SettingsQueue::Edits edits;
    for (const auto &[key, value] : values)
        edits.insert(group + QLatin1Char('/') + key, value);
    SettingsQueue::instance().keep(m_fileName, edits, LaterMs);
    return true;
}

bool SettingsStore::change(const QList<std::pair<QString, QString>> &edits)
{
    SettingsQueue &queue = SettingsQueue::instance();
    SettingsQueue::Edits all = queue.take(m_fileName);
    for (const auto &[key, value] : edits)
        all.insert(key, value);
    return writeNow(all, LockTryMs);
}

void SettingsStore::writeWaiting(int lockWaitMs)
{
    const SettingsQueue::Edits all = SettingsQueue::instance().take(m_fileName);
    if (!all.isEmpty())
        writeNow(all, lockWaitMs);
}

// Sets (or, with an empty value, removes) each key, under the instances'
// lock: the file as it is on disk now is copied beside it, the copy changed
// by QSettings and put in the file's place at once. The copy has a name
// never used before, so that what QSettings parses is always what is on
// disk (its cache of a file it read keeps it while the size and the time
// to the millisecond stay: another instance's write in the same tick would
// go unseen and be overwritten). The file's times are the system's. A file
// QSettings cannot parse is left as it is.
bool SettingsStore::writeNow(const SettingsQueue::Edits &edits, int lockWaitMs)
{
    SettingsQueue &queue = SettingsQueue::instance();
    QString why;
    switch (writeUnderLock(edits, lockWaitMs, &why)) {
    case Outcome::Written:
        queue.written(m_fileName);
        return true;
    case Outcome::Busy:
        queue.keep(m_fileName, edits, RetryMs);
        return true;
    case Outcome::Failed:
        break;
    }
    queue.failed(m_fileName, why);
    return false;
}

SettingsStore::Outcome SettingsStore::writeUnderLock(const SettingsQueue::Edits &edits, int lockWaitMs, QString *why)
{
    const QFileInfo info(m_fileName);
    if (!info.exists() && std::all_of(edits.begin(), edits.end(), [](const QString &v) { return v.isEmpty(); })) {
        // Nothing to remove from a file that is not there, and no folder
        // made for it; unless no folder could ever be made there.
        QFileInfo up(info.absolutePath());
        while (!up.exists() && !up.isRoot())
            up.setFile(up.absolutePath());
        if (up.isDir())
            return Outcome::Written;
    }
    if (!QDir().mkpath(info.absolutePath())) {
        *why = QStringLiteral("le dossier %1 ne peut pas être créé").arg(info.absolutePath());
        return Outcome::Failed;
    }
    if (info.exists() && !info.isFile()) {
        *why = QStringLiteral("%1 n'est pas un fichier").arg(m_fileName);
        return Outcome::Failed;
    }
    const WriteLock lock(m_fileName, lockWaitMs);
    if (lock.busy())
        return Outcome::Busy;
    // Looked at again under the lock: another instance may have made the
    // file while this one waited.
    const QFileInfo onDisk(m_fileName);
    if (!lock.held() || (onDisk.exists() && !onDisk.isWritable())) {
        *why = QStringLiteral("%1 est en lecture seule").arg(m_fileName);
        return Outcome::Failed;
    }
    const auto holds = [&edits](const QSettings &s) {
        for (auto it = edits.begin(); it != edits.end(); ++it) {
            const QVariant now = s.value(it.key());
            if (it.value().isEmpty() ? now.isValid() : now.typeId() != QMetaType::QString || now.toString() != it.value())
                return false;
        }
        return true;
    };
    const auto cannotWrite = [why, this] {
        *why = QStringLiteral("%1 ne peut pas être écrit (disque plein ?)").arg(m_fileName);
        return Outcome::Failed;
    };

    // The copy is closed and let go before QSettings writes it: Windows
    // does not let a file that is still open be replaced.
    QString copyName;
    {
        QTemporaryFile copy(m_fileName + QStringLiteral(".XXXXXX"));
        copy.setAutoRemove(false);
        if (!copy.open())
            return cannotWrite();
        copyName = copy.fileName();
        if (onDisk.exists()) {
            QFile current(m_fileName);
            if (!current.open(QIODevice::ReadOnly) || copy.write(current.readAll()) != current.size()
                || !copy.flush()) {
                copy.remove();
                return cannotWrite();
            }
            copy.setPermissions(current.permissions());
        }
    }
    auto dropCopy = qScopeGuard([&copyName] { QFile::remove(copyName); });
    {
        QSettings s(copyName, QSettings::IniFormat);
        if (s.status() != QSettings::NoError) {
            *why = QStringLiteral("%1 n'est pas lisible comme fichier de réglages, laissé tel quel").arg(m_fileName);
            return Outcome::Failed;
        }
        if (holds(s))
            return Outcome::Written; // nothing to write
        for (auto it = edits.begin(); it != edits.end(); ++it) {
            if (it.value().isEmpty())
                s.remove(it.key());
            else
                s.setValue(it.key(), it.value());
        }
        s.sync();
        // Qt 6.4 reports a format error after writing a file that began with
        // a byte-order mark, although the file is written whole: then the
        // file read back says what holds.
        if (s.status() == QSettings::AccessError
            || (s.status() != QSettings::NoError && !holds(QSettings(copyName, QSettings::IniFormat))))
            return cannotWrite();
    }
    if (!replaceFile(copyName, m_fileName))
        return cannotWrite();
    dropCopy.dismiss(); // its name is the file's now
    return Outcome::Written;
}
