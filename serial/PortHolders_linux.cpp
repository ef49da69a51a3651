#include "PortHolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

PortHolder holderOf(qint64 pid)
{
    PortHolder h;
    h.pid = pid;
    QFile comm(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/comm"));
    if (comm.open(QIODevice::ReadOnly))
        h.name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    return h;
}

namespace {

// What a /proc/<pid>/fd/<n> link says, read with readlink() alone: Qt's
// symLinkTarget() may stat() the target to tell a folder.
QString linkText(const QString &link)
{
    char buf[4096];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buf, sizeof buf);
    if (n > 0 && size_t(n) < sizeof buf)
        return QFile::decodeName(QByteArray(buf, n));
    return {};
}

// The descriptor numbers in /proc/<pid>/fd, read with readdir() alone: a
// QDir listing with filters stats each entry, that is, the file it names.
QStringList descriptorNames(const QString &fdDir)
{
    QStringList names;
    DIR *dir = ::opendir(QFile::encodeName(fdDir).constData());
    if (!dir)
        return names; // unreadable: another user's process
    while (const dirent *e = ::readdir(dir)) {
        if (e->d_name[0] != '.')
            names << QString::fromLatin1(e->d_name);
    }
    ::closedir(dir);
    return names;
}

} // namespace

QStringList deviceNames(const QString &devicePath)
{
    QStringList names{devicePath};
    const QString real = QFileInfo(devicePath).canonicalFilePath();
    if (!real.isEmpty() && !names.contains(real))
        names << real;
    return names;
}

bool holdsDevice(const QString &target, const QStringList &names, const QString &fdLink, quint64 rdev)
{
    if (target.isEmpty() || target.endsWith(QLatin1String(" (deleted)")))
        return false; // a descriptor left on an earlier device of the same number (a pty closed since, an adapter pulled)
    if (names.contains(target))
        return true;
    // Another name of the same device (/dev/char/188:0, a second node):
    // only under /dev, whose file systems always answer.
    if (!target.startsWith(QLatin1String("/dev/")))
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(fdLink).constData(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev;
}

QList<PortHolder> otherHoldersOf(const QString &devicePath, const std::atomic<bool> *stop)
{
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    QList<PortHolder> holders;
    struct stat device {};
    if (::stat(QFile::encodeName(devicePath).constData(), &device) != 0 || !S_ISCHR(device.st_mode))
        return holders;
    const QStringList names = deviceNames(devicePath);
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &p : pids) {
        if (stopped())
            break;
        bool isPid = false;
        const qint64 pid = p.toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        const QString fdDir = QStringLiteral("/proc/") + p + QStringLiteral("/fd");
        const QStringList fds = descriptorNames(fdDir);
        for (const QString &fd : fds) {
            if (stopped())
                break;
            // The link's text only: never the file it names, which may sit on
            // a mount that does not answer (a hung network share, a FUSE file
            // system) and would hold this thread for good.
            const QString link = fdDir + QLatin1Char('/') + fd;
            if (holdsDevice(linkText(link), names, link, device.st_rdev)) {
                holders << holderOf(pid);
                break;
            }
        }
    }
    return holders;
}

