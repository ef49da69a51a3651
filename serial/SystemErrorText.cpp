#include "SystemErrorText.h"

#include <cerrno>

QString systemErrorText(int errnum)
{
    switch (errnum) {
    case ENOENT: return QStringLiteral("fichier inexistant");
    case ENOTDIR: return QStringLiteral("un élément du chemin n'est pas un dossier");
    case EISDIR: return QStringLiteral("c'est un dossier");
    case EACCES:
    case EPERM: return QStringLiteral("permission refusée");
    case EBUSY: return QStringLiteral("périphérique pris en mode exclusif");
    case EWOULDBLOCK: return QStringLiteral("verrouillé par un autre programme");
    case ENOTTY: return QStringLiteral("ce n'est pas un terminal");
    case ENXIO:
    case ENODEV: return QStringLiteral("périphérique absent");
    case EIO: return QStringLiteral("erreur d'entrée-sortie, appareil débranché ?");
    case EEXIST: return QStringLiteral("le fichier existe déjà");
    case ENAMETOOLONG: return QStringLiteral("nom trop long");
    case ELOOP: return QStringLiteral("trop de liens symboliques");
    case EROFS: return QStringLiteral("système de fichiers en lecture seule");
    case ENOSPC: return QStringLiteral("disque plein");
    case EMFILE:
    case ENFILE: return QStringLiteral("trop de fichiers ouverts");
    case EINTR: return QStringLiteral("interrompu");
    default: return {};
    }
}
