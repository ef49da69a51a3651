#include "PortLockFile.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>

PortLockFile::PortLockFile(const QString &systemLocation)
{
    // QSerialPort names the file after the port name: the path without
    // "/dev/", each '/' made '_'.
    QString name = systemLocation.startsWith(QLatin1String("/dev/")) ? systemLocation.mid(5) : systemLocation;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.prepend(QLatin1String("/LCK.."));
    // The first folder readable and either holding the file or writable, in
    // the order QSerialPort tries them; its last resort is Qt's temporary
    // folder.
    const QStringList folders = {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
                                 QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                                 QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
                                 QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"),
                                 QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString &folder : folders) {
        const QString candidate = folder + name;
        const QFileInfo dir{folder};
        if (dir.isReadable() && (QFile::exists(candidate) || dir.isWritable())) {
            m_path = candidate;
            break;
        }
    }
    // Only a regular file is read: a FIFO would block the read for good, a
    // device could feed it without end.
    struct stat st {};
    if (!m_path.isEmpty() && ::lstat(QFile::encodeName(m_path).constData(), &st) == 0)
        m_blocking = S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISSOCK(st.st_mode)
            || S_ISLNK(st.st_mode);
    if (m_blocking)
        return;
    // QLockFile reads its own file: the pid, the program and the host.
    qint64 pid = 0;
    if (!m_path.isEmpty() && QLockFile(m_path).getLockInfo(&pid, nullptr, nullptr))
        m_pid = pid > 0 ? pid : 0;
}

bool PortLockFile::exists() const
{
    return !m_path.isEmpty() && QFileInfo(m_path).exists();
}

bool PortLockFile::holderAlive() const
{
    if (m_pid <= 0 || m_pid > INT_MAX)
        return false;
    return ::kill(pid_t(m_pid), 0) == 0 || errno == EPERM;
}
