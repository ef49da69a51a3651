#include "TargetFile.h"

#include "SystemErrorText.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString notRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("c'est un dossier");
    if (S_ISFIFO(mode))
        return QStringLiteral("c'est un tube (FIFO), pas un fichier ordinaire");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("c'est un périphérique, pas un fichier ordinaire");
    if (S_ISSOCK(mode))
        return QStringLiteral("c'est une socket, pas un fichier ordinaire");
    return QStringLiteral("ce n'est pas un fichier ordinaire");
}

} // namespace

QString TargetFile::refusal(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? QString() : reason(errno);
    return S_ISREG(st.st_mode) ? QString() : notRegular(st.st_mode);
}

int TargetFile::openForAppend(const QString &path, QString *why)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A FIFO with no reader refuses a non-blocking open for writing.
        *why = errno == ENXIO ? notRegular(S_IFIFO) : reason(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = notRegular(st.st_mode);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool TargetFile::stillAt(int fd, const QString &path)
{
    struct stat open {}, named {};
    if (::fstat(fd, &open) != 0 || ::stat(QFile::encodeName(path).constData(), &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

QString TargetFile::reason(int errnoValue)
{
    // The system's wording, but for what a file being written makes of it:
    // a read-only medium is a refused permission, a quota a full disk, a
    // missing name a missing folder.
    switch (errnoValue) {
    case EDQUOT:
        errnoValue = ENOSPC;
        break;
    case EROFS:
        errnoValue = EACCES;
        break;
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("dossier introuvable");
    case EIO:
        return QStringLiteral("erreur d'entrée-sortie du support");
    default:
        break;
    }
    const QString text = systemErrorText(errnoValue);
    return text.isEmpty() ? QStringLiteral("écriture impossible") : text;
}

QString TargetFile::save(const QString &path, const std::function<std::optional<QByteArray>()> &next)
{
    const QString refused = refusal(path);
    if (!refused.isEmpty())
        return refused;
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return reason(errno);
    const auto failed = [&file] {
        const int e = errno;
        const bool full = file.error() == QFileDevice::ResourceError;
        file.cancelWriting();
        return full ? reason(ENOSPC) : reason(e);
    };
    while (const std::optional<QByteArray> part = next()) {
        errno = 0;
        if (file.write(*part) != part->size())
            return failed();
    }
    // The last part is still in QSaveFile's buffer: a failure to write it
    // shows here, where commit() would not see it (Qt 6.4).
    errno = 0;
    if (!file.flush())
        return failed();
    errno = 0;
    if (!file.commit())
        return file.error() == QFileDevice::ResourceError ? reason(ENOSPC) : reason(errno);
    return {};
}

std::optional<QByteArray> TargetFile::readRegular(const QString &path, qint64 maxBytes, QString *why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = reason(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *why = QStringLiteral("n'est pas un fichier ordinaire");
        return std::nullopt;
    }
    if (st.st_size > maxBytes) {
        ::close(fd);
        *why = QStringLiteral("fichier trop grand (plus de %1 octets)").arg(maxBytes);
        return std::nullopt;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *why = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *why = reason(errno);
        return std::nullopt;
    }
    if (bytes.size() > maxBytes) {
        *why = QStringLiteral("fichier trop grand (plus de %1 octets)").arg(maxBytes);
        return std::nullopt;
    }
    return bytes;
}
