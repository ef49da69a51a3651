#include "LineProbe.h"

#include "SystemErrorText.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

LineProbe::~LineProbe()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

LineProbe::Verdict LineProbe::check(const QString &path)
{
    m_location = path;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            return {CommError::NotFound, {}};
        if (e == EACCES)
            return {CommError::PermissionDenied, {}};
        return {CommError::Other, systemErrorText(e)};
    }
    if (!S_ISCHR(st.st_mode))
        return {CommError::NotSerial, {}}; // a folder or a file would read a file, not a line

    m_fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        const int e = errno;
        switch (e) {
        case EACCES:
        case EPERM: {
            // The detail is the device's group, the one to join, when that
            // group may read and write it; otherwise joining a group would
            // not help, and the owner is named instead. Root's group is
            // never one to join.
            if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || st.st_gid == 0) {
                const passwd *owner = ::getpwuid(st.st_uid);
                return {CommError::OwnerOnly, owner ? QString::fromLocal8Bit(owner->pw_name) : QString()};
            }
            const group *g = ::getgrgid(st.st_gid);
            return {CommError::PermissionDenied, g ? QString::fromLocal8Bit(g->gr_name) : QString()};
        }
        case EBUSY: // held in exclusive mode (TIOCEXCL)
            return {CommError::Busy, {}};
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case EIO:
            return {CommError::NotFound, {}};
        default:
            return {CommError::Other, systemErrorText(e)};
        }
    }
    termios t {};
    if (::tcgetattr(m_fd, &t) != 0)
        return {CommError::NotSerial, {}}; // /dev/null, /dev/zero...
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        if (e == EWOULDBLOCK)
            return {CommError::Busy, {}};
        return {CommError::Other, systemErrorText(e)};
    }
    ::flock(m_fd, LOCK_UN);

    if (const QString resolved = QFileInfo(path).canonicalFilePath(); !resolved.isEmpty())
        m_location = resolved;
    return {};
}
