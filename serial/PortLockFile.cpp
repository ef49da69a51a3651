#include "PortLockFile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

PortLockFile::PortLockFile(const QString &systemLocation)
{
    // QSerialPort names the file after the port name: the path without
    // "/dev/", each '/' made '_'.
    QString name = systemLocation.startsWith(QLatin1String("/dev/")) ? systemLocation.mid(5) : systemLocation;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.prepend(QLatin1String("/LCK.."));
    // The first folder readable and either holding the file or writable.
    static const char *const folders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                          "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"};
    for (const char *folder : folders) {
        const QString candidate = QLatin1String(folder) + name;
        const QFileInfo dir{QLatin1String(folder)};
        if (dir.isReadable() && (QFile::exists(candidate) || dir.isWritable())) {
            m_path = candidate;
            break;
        }
    }
    QFile f(m_path);
    if (!m_path.isEmpty() && f.open(QIODevice::ReadOnly)) {
        // QLockFile writes the pid, the program's name and the host, a line each.
        bool ok = false;
        const qint64 pid = f.readLine(32).trimmed().toLongLong(&ok);
        m_pid = ok && pid > 0 ? pid : 0;
    }
}

bool PortLockFile::exists() const
{
    return !m_path.isEmpty() && QFileInfo(m_path).exists();
}

bool PortLockFile::holderAlive() const
{
#ifdef Q_OS_UNIX
    if (m_pid <= 0 || m_pid > INT_MAX)
        return false;
    return ::kill(pid_t(m_pid), 0) == 0 || errno == EPERM;
#else
    return m_pid > 0;
#endif
}
