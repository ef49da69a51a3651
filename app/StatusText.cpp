#include "StatusText.h"

QString portStateText(bool open, int port, const QString &device, const QString &description)
{
    if (!open)
        return QStringLiteral("Port fermé");
    QString text = QStringLiteral("COM") + QString::number(port) + QStringLiteral(" ouvert (") + device;
    if (!description.isEmpty())
        text += QStringLiteral(", ") + description;
    return text + QLatin1Char(')');
}

QString errorText(CommError error, int port, const QString &device, const QString &detail)
{
    const QString com = QStringLiteral("COM%1").arg(port);
    const QString dev = device.isEmpty() ? QStringLiteral("aucun périphérique") : device;
    switch (error) {
    case CommError::None:
        return {};
    case CommError::NotFound:
        return com + QStringLiteral(" introuvable (") + dev + QStringLiteral(") : branchez l'appareil.");
    case CommError::BadSetting:
        return com + QStringLiteral(" : « ") + device
            + QStringLiteral(" » n'est pas un chemin de périphérique (réglages ") + detail
            + QStringLiteral("). Clic droit sur la liste pour choisir l'appareil de ") + com + QLatin1Char('.');
    case CommError::NotSerial:
        return com + QStringLiteral(" : ") + dev
            + QStringLiteral(" n'est pas un port série. Clic droit sur la liste pour choisir l'appareil de ")
            + com + QLatin1Char('.');
    case CommError::PermissionDenied:
        return QStringLiteral("%1 : accès refusé à %2. Ajoutez votre compte au groupe dialout, puis reconnectez-vous.")
            .arg(com, dev);
    case CommError::Busy:
        return QStringLiteral("%1 occupé (%2) : un autre programme utilise ce port. Fermez-le, puis réessayez.")
            .arg(com, dev);
    case CommError::DeviceGone:
        return QStringLiteral("%1 : appareil déconnecté (%2). Reconnexion automatique dès son retour.")
            .arg(com, dev);
    case CommError::NotOpen:
        return QStringLiteral("%1 : port fermé, rien n'a été envoyé à %2.").arg(com, dev);
    case CommError::WriteFailed:
        return QStringLiteral("%1 : échec de l'envoi vers %2 (%3).").arg(com, dev, detail);
    case CommError::Other:
        return QStringLiteral("%1 : ouverture de %2 impossible (%3).").arg(com, dev, detail);
    }
    return {};
}

QString sharedText(int port, const QString &device, const QList<PortHolder> &holders)
{
    QStringList names;
    QStringList remedies;
    for (const PortHolder &h : holders) {
        names << (h.name.isEmpty() ? QStringLiteral("un programme") : h.name) + QStringLiteral(" (pid ")
                + QString::number(h.pid) + QLatin1Char(')');
        const QString remedy = h.knownRemedy();
        if (!remedy.isEmpty() && !remedies.contains(remedy))
            remedies << remedy;
    }
    QString text = QStringLiteral("COM") + QString::number(port) + QStringLiteral(" : ") + device
        + QStringLiteral(" est aussi ouvert par ") + names.join(QStringLiteral(", "))
        + QStringLiteral(" ; des octets peuvent lui aller au lieu de Vantrel.");
    if (remedies.isEmpty())
        text += QStringLiteral(" Fermez ce programme pour tout recevoir.");
    else
        text += QLatin1Char(' ') + remedies.join(QLatin1Char(' '));
    return text;
}

QString returnText(int port, const QString &device)
{
    return QStringLiteral("COM%1 : appareil de retour (%2).").arg(port).arg(device);
}

QString invalidLengthText(const QString &text)
{
    return QStringLiteral("« Longueur a lire » non valide : \"%1\" (entier de -32768 à 32767 attendu).").arg(text);
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
