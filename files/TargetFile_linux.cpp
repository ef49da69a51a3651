#include "TargetFile.h"

#include "SystemErrorText.h"

#include <QFile>

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

QByteArray TargetFile::textLineEnd()
{
    return QByteArrayLiteral("\n");
}
