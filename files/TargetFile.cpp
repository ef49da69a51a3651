#include "TargetFile.h"

#include "SystemErrorText.h"

#include <QSaveFile>

#include <cerrno>

// What is the same on every system; how a file is opened and told apart is
// in TargetFile_<system>.cpp.

QString TargetFile::reason(int errnoValue)
{
    // The system's wording, but for what a file being written makes of it:
    // a read-only medium is a refused permission, a quota a full disk, a
    // missing name a missing folder.
    switch (errnoValue) {
#ifdef EDQUOT
    case EDQUOT:
        errnoValue = ENOSPC;
        break;
#endif
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
