#include "PortHolders.h"


#include <QCoreApplication>
#include <QDir>
#include <QFile>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

QString PortHolder::knownRemedy() const
{
    if (name == QLatin1String("ModemManager"))
        return QStringLiteral("ModemManager sonde les appareils USB série qui viennent d'être branchés : attendez "
                              "quelques secondes, ou arrêtez-le (sudo systemctl stop ModemManager).");
    if (name == QLatin1String("brltty"))
        return QStringLiteral("brltty (afficheur braille) prend certains adaptateurs USB-série : sans afficheur "
                              "braille, retirez-le (sudo apt remove brltty) puis rebranchez l'appareil.");
    if (name == QLatin1String("gpsd"))
        return QStringLiteral("gpsd lit les ports série à la recherche d'un GPS : arrêtez-le (sudo systemctl stop "
                              "gpsd.socket gpsd).");
    return {};
}

PortHolder holderOf(qint64 pid)
{
    PortHolder h;
    h.pid = pid;
    QFile comm(QStringLiteral("/proc/") + QString::number(pid) + QStringLiteral("/comm"));
    if (comm.open(QIODevice::ReadOnly))
        h.name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    return h;
}

QList<PortHolder> otherHoldersOf(const QString &devicePath, const std::atomic<bool> *stop)
{
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    QList<PortHolder> holders;
#ifdef Q_OS_LINUX
    struct stat device {};
    if (::stat(QFile::encodeName(devicePath).constData(), &device) != 0 || !S_ISCHR(device.st_mode))
        return holders;
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
        const QStringList fds = QDir(fdDir).entryList(QDir::System | QDir::NoDotAndDotDot); // unreadable: empty
        for (const QString &fd : fds) {
            if (stopped())
                break;
            struct stat st {};
            const QString link = fdDir + QLatin1Char('/') + fd;
            if (::stat(QFile::encodeName(link).constData(), &st) != 0 || !S_ISCHR(st.st_mode)
                || st.st_rdev != device.st_rdev)
                continue;
            // A descriptor left on an earlier device of the same number (a
            // pseudo-terminal closed since, an adapter pulled) is no holder.
            if (QFile::symLinkTarget(link).endsWith(QLatin1String(" (deleted)")))
                continue;
            holders << holderOf(pid);
            break;
        }
    }
#else
    Q_UNUSED(devicePath);
    Q_UNUSED(stop);
#endif
    return holders;
}

QString holdersText(const QList<PortHolder> &holders)
{
    QStringList names;
    for (const PortHolder &h : holders)
        names << (h.name.isEmpty() ? QStringLiteral("un programme") : h.name) + QStringLiteral(" (pid ")
                + QString::number(h.pid) + QLatin1Char(')');
    return names.join(QStringLiteral(", "));
}
