#include "TargetFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

// On Windows, a name is a regular file, a folder, or a device name (CON,
// NUL, COM1...) that CreateFile opens as the device: only a regular file
// is written or read.

namespace {

bool isDeviceName(const QString &path)
{
    QString base = QFileInfo(path).completeBaseName().toUpper();
    static const QStringList names = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL")};
    if (names.contains(base))
        return true;
    return (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))) && base.size() == 4
        && base[3].isDigit();
}

QString refusedKind(const QString &path)
{
    if (isDeviceName(path) || path.startsWith(QLatin1String("\\\\.\\")))
        return QStringLiteral("c'est un périphérique, pas un fichier ordinaire");
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("c'est un dossier");
    if (info.exists() && !info.isFile())
        return QStringLiteral("ce n'est pas un fichier ordinaire");
    return {};
}

} // namespace

QString TargetFile::refusal(const QString &path)
{
    return refusedKind(path);
}

int TargetFile::openForAppend(const QString &path, QString *why)
{
    if (const QString refused = refusedKind(path); !refused.isEmpty()) {
        *why = refused;
        return -1;
    }
    const int fd = ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()),
                            _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        *why = reason(errno);
    return fd;
}

// A file open here cannot be deleted or replaced by another program (it is
// opened without FILE_SHARE_DELETE): it is still there while it exists.
bool TargetFile::stillAt(int fd, const QString &path)
{
    return fd >= 0 && QFileInfo(path).isFile();
}

std::optional<QByteArray> TargetFile::readRegular(const QString &path, qint64 maxBytes, QString *why)
{
    if (const QString refused = refusedKind(path); !refused.isEmpty()) {
        *why = QStringLiteral("n'est pas un fichier ordinaire");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.exists() ? reason(EACCES) : reason(ENOENT);
        return std::nullopt;
    }
    if (file.size() > maxBytes) {
        *why = QStringLiteral("fichier trop grand (plus de %1 octets)").arg(maxBytes);
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *why = reason(EIO);
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
    return QByteArrayLiteral("\r\n");
}
