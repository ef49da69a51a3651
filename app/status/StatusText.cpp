#include "StatusText.h"

#include "StatusPieces.h"

using StatusPieces::piece;

QString comName(int port)
{
    return QStringLiteral("COM") + QString::number(port);
}

QString portStateText(bool open, int port, const QString &device, const QString &description, const QString &line)
{
    if (!open)
        return QStringLiteral("Port fermé");
    QString text = comName(port) + QStringLiteral(" ouvert (") + piece(device);
    if (!description.isEmpty())
        text += QStringLiteral(", ") + piece(description);
    if (!line.isEmpty())
        text += QStringLiteral(", ") + line;
    return text + QLatin1Char(')');
}

QString errorText(CommError error, int port, const QString &device, const QString &detail)
{
    const QString com = comName(port);
    const QString dev = device.isEmpty() ? QStringLiteral("aucun périphérique") : piece(device);
    const QString why = detail.isEmpty() ? QString() : QStringLiteral(" (") + piece(detail) + QLatin1Char(')');
    const QString choose = QStringLiteral(" Clic droit sur la liste pour choisir l'appareil de ") + com
        + QLatin1Char('.');
    switch (error) {
    case CommError::None:
        return {};
    case CommError::NotFound:
        return com + QStringLiteral(" introuvable (") + dev + QStringLiteral(") : branchez l'appareil.");
    case CommError::BadSetting:
        return com + QStringLiteral(" : « ") + piece(device)
            + QStringLiteral(" » n'est pas un chemin de périphérique (réglages ") + piece(detail)
            + QStringLiteral(").") + choose;
    case CommError::PathNotText:
        return com + QStringLiteral(" : « ") + piece(device) + QStringLiteral(" », donné par ") + piece(detail)
            + QStringLiteral(", n'est pas en UTF-8 : aucun périphérique ne porte un tel nom. Corrigez ")
            + piece(detail) + QStringLiteral(" ou videz-la.");
    case CommError::NotSerial:
        return com + QStringLiteral(" : ") + dev + QStringLiteral(" n'est pas un port série.") + choose;
    case CommError::PermissionDenied: {
        const QString group = detail.isEmpty() ? QStringLiteral("dialout") : piece(detail);
        return com + QStringLiteral(" : accès refusé à ") + dev + QStringLiteral(", réservé au groupe ") + group
            + QStringLiteral(". Ajoutez votre compte à ce groupe (sudo usermod -aG ") + group
            + QStringLiteral(" $USER), puis fermez puis rouvrez votre session.");
    }
    case CommError::LineRefused:
        return com + QStringLiteral(" : ") + dev + QStringLiteral(" refuse la ligne ") + piece(detail)
            + QStringLiteral(" ; le port reste fermé. Clic droit sur la liste, « Paramètres de la ligne… », pour "
                             "en choisir une autre (9600 8N1 par défaut).");
    case CommError::OwnerOnly:
        return com + QStringLiteral(" : accès refusé à ") + dev + QStringLiteral(" : seul son propriétaire")
            + (detail.isEmpty() ? QString() : QStringLiteral(" (") + piece(detail) + QLatin1Char(')'))
            + QStringLiteral(" peut l'ouvrir, et aucun groupe. Demandez à l'administrateur de vous en donner "
                             "l'accès, par exemple par une règle udev qui le confie au groupe dialout.");
    case CommError::Busy:
        return com + QStringLiteral(" occupé (") + dev + QStringLiteral(") : ")
            + (detail.isEmpty() ? QStringLiteral("un autre programme") : piece(detail))
            + (detail.count(QStringLiteral("(pid ")) > 1 ? QStringLiteral(" utilisent ce port. Fermez-les")
                                                          : QStringLiteral(" utilise ce port. Fermez-le"))
            + QStringLiteral(", puis réessayez.");
    case CommError::StaleLock:
        return com + QStringLiteral(" : aucun programme n'utilise ") + dev + QStringLiteral(", mais le fichier verrou ")
            + piece(detail) + QStringLiteral(", laissé par un programme arrêté, en empêche l'ouverture. "
                                             "Supprimez-le (sudo rm ")
            + piece(detail) + QStringLiteral("), puis réessayez.");
    case CommError::BadLockFile:
        return com + QStringLiteral(" : le fichier verrou ") + piece(detail)
            + QStringLiteral(" n'est pas un fichier ordinaire (un tube, un périphérique ou un lien, posé par un autre "
                             "utilisateur ?) : ")
            + dev + QStringLiteral(" n'a pas été ouvert. Supprimez-le (sudo rm ") + piece(detail)
            + QStringLiteral("), puis réessayez.");
    case CommError::DeviceGone:
        return com + QStringLiteral(" : appareil déconnecté (") + dev
            + QStringLiteral("). Reconnexion automatique dès son retour.");
    case CommError::NotOpen:
        return com + QStringLiteral(" : port fermé, rien n'a été envoyé à ") + dev
            + QStringLiteral(". Ouvrez le port, puis réessayez.");
    case CommError::WriteFailed:
        return com + QStringLiteral(" : échec de l'envoi vers ") + dev + why
            + QStringLiteral(". Vérifiez l'appareil et son câble, puis réessayez.");
    case CommError::Other:
        return com + QStringLiteral(" : ouverture de ") + dev + QStringLiteral(" impossible") + why
            + QStringLiteral(". Vérifiez l'appareil et son chemin, puis réessayez.");
    }
    return {};
}

QString sharedText(int port, const QString &device, const QList<PortHolder> &holders)
{
    QStringList remedies;
    for (const PortHolder &h : holders) {
        const QString remedy = h.knownRemedy();
        if (!remedy.isEmpty() && !remedies.contains(remedy))
            remedies << remedy;
    }
    QString text = comName(port) + QStringLiteral(" : ") + piece(device)
        + QStringLiteral(" est aussi ouvert par ") + piece(holdersText(holders))
        + QStringLiteral(" ; des octets peuvent lui aller au lieu de Vantrel.");
    if (remedies.isEmpty())
        text += QStringLiteral(" Fermez ce programme pour tout recevoir.");
    else
        text += QLatin1Char(' ') + remedies.join(QLatin1Char(' '));
    return text;
}

QString returnText(int port, const QString &device)
{
    return comName(port) + QStringLiteral(" : appareil reconnecté (") + piece(device)
        + QStringLiteral(").");
}

QString invalidLengthText(const QString &text)
{
    return QStringLiteral("« Longueur a lire » non valide : « ") + piece(text)
        + QStringLiteral(" ». Tapez un entier de -32768 à 32767.");
}

QString stillTriggeredText()
{
    return QStringLiteral("La lecture n'a pas pu être arrêtée : le lecteur est peut-être resté déclenché ; "
                          "débranchez-le un instant ou appuyez sur sa gâchette.");
}

QString tooDeepText()
{
    return QStringLiteral("Trop de commandes en attente les unes dans les autres : clic ignoré.");
}

QString linesLeftText(qint64 total, bool journalRunning)
{
    QString text = QString::number(total) + (total == 1 ? QStringLiteral(" ligne est sortie")
                                                        : QStringLiteral(" lignes sont sorties"))
        + QStringLiteral(" de la réception depuis le début, pour en limiter la taille");
    return text + (journalRunning ? QStringLiteral(" ; le journal les garde toutes.")
                                  : QStringLiteral(". Pour tout garder : clic droit sur la réception, « Journal… »."));
}

QString journalRunningText(const QString &file)
{
    return QStringLiteral(" — journal : ") + piece(file);
}

QString journalFailedText(const QString &file, const QString &why)
{
    return QStringLiteral("Journal arrêté : ") + piece(file) + QStringLiteral(" (") + why
        + QStringLiteral("). La réception continue ; clic droit sur la réception, « Journal… », pour en ouvrir "
                         "un autre.");
}

QString lineChosenText(int port, const QString &line, bool saved)
{
    return comName(port) + QStringLiteral(" : ligne réglée à ") + line
        + (saved ? QStringLiteral(". Elle s'applique à la prochaine ouverture du port (« Eteindre », puis la "
                                  "réception le rouvre).")
                 : QStringLiteral(", pour cette session seulement : les réglages ne peuvent être écrits. Elle "
                                  "s'applique à la prochaine ouverture du port."));
}

QString journalReopenedText(const QString &file)
{
    return QStringLiteral("Le fichier du journal ") + piece(file)
        + QStringLiteral(" a été supprimé ou remplacé : le journal continue dans un nouveau fichier à ce nom.");
}

QString journalNotStartedText(const QString &file, const QString &why)
{
    return QStringLiteral("Journal impossible dans ") + piece(file) + QStringLiteral(" (") + why
        + QStringLiteral("). Choisissez un autre fichier : clic droit sur la réception, « Journal… ».");
}

QString savedText(const QString &file, const QString &why)
{
    if (why.isEmpty())
        return QStringLiteral("Réception enregistrée dans ") + piece(file) + QLatin1Char('.');
    return QStringLiteral("Enregistrement impossible dans ") + piece(file) + QStringLiteral(" (") + why
        + QStringLiteral("). Choisissez un autre fichier.");
}

QString portOpenRefusalText(int port, const QString &button)
{
    return QStringLiteral("« ") + button + QStringLiteral(" » n'a rien envoyé : il n'agit que sur un port fermé, et COM")
        + QString::number(port) + QStringLiteral(" est ouvert. Cliquez sur « Eteindre », puis sur « ") + button
        + QStringLiteral(" » dans la demi-seconde : la réception rouvre le port à son prochain passage.");
}

QString commandSentText(int port, int replyBytes)
{
    const QString head = QStringLiteral("Commande envoyée sur COM") + QString::number(port) + QStringLiteral(" : ");
    if (replyBytes == 0)
        return head + QStringLiteral("aucune réponse en 2 secondes. Vérifiez que l'appareil est allumé et branché.");
    return head + QString::number(replyBytes)
        + (replyBytes == 1 ? QStringLiteral(" octet reçu") : QStringLiteral(" octets reçus"))
        + QStringLiteral(" en réponse (la réponse n'est pas affichée).");
}

QString waitingForBytesText(int port, int count)
{
    return comName(port) + QStringLiteral(" : « Allumer » attend ") + QString::number(count)
        + QStringLiteral(" octets de l'appareil ; seuls ces octets mettent fin à l'attente. Scannez un code ; la "
                         "fenêtre reste utilisable en attendant.");
}

QString readDoneText(int port, int bytes)
{
    return QStringLiteral("Lecture sur ") + comName(port) + QStringLiteral(" : ") + QString::number(bytes)
        + (bytes == 1 ? QStringLiteral(" octet reçu.") : QStringLiteral(" octets reçus."));
}

QString journalStoppedText(const QString &file, qint64 bytes)
{
    return QStringLiteral("Journal arrêté : ") + piece(file) + QStringLiteral(" (") + QString::number(bytes)
        + (bytes == 1 ? QStringLiteral(" octet).") : QStringLiteral(" octets)."));
}

QString nothingWaitingText(int port, bool open)
{
    return QStringLiteral("« Lire buffer » : aucun octet en attente sur COM") + QString::number(port)
        + (open ? QStringLiteral(". Scannez un code, puis réessayez.")
                : QStringLiteral(" (port fermé). Ouvrez le port : « Allumer », ou attendez le minuteur."));
}

QString settingsNotWrittenText(const QString &reason)
{
    return QStringLiteral("Réglages non enregistrés : ") + piece(reason)
        + QStringLiteral(". Ils valent jusqu'à la fermeture ; rendez le fichier modifiable (ou libérez de la place) "
                         "pour les garder.");
}
