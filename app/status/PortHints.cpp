#include "PortHints.h"

#include "StatusPieces.h"
#include "StatusText.h"

#include <algorithm>

using StatusPieces::piece;

QString presentDevicesHint(int port, const PortAssignments &ports)
{
    const PortAssignments::Resolution here = ports.resolve(port);
    QStringList seen;
    QString single;
    int singleOn = 0;
    for (const SerialDevice &d : ports.present()) {
        if (d.builtIn || (here.device && here.device->systemLocation == d.systemLocation))
            continue;
        const int on = ports.portOf(d);
        QString item = piece(d.systemLocation);
        if (!d.description.isEmpty())
            item += QStringLiteral(" (") + piece(d.description) + QLatin1Char(')');
        item += on ? QStringLiteral(" sur ") + comName(on) : QStringLiteral(", sans numéro");
        seen << item;
        single = d.systemLocation;
        singleOn = on;
    }
    if (seen.isEmpty())
        return QStringLiteral("Aucun appareil série USB détecté : branchez le scanner, ou clic droit sur la "
                              "liste pour donner le chemin de l'appareil.");
    if (seen.size() == 1) {
        QString text = QStringLiteral("Présent : ") + seen.first() + QStringLiteral(". ");
        if (singleOn)
            text += QStringLiteral("Choisissez ") + QString::number(singleOn) + QStringLiteral(" dans la liste, ou c");
        else
            text += QStringLiteral("C");
        return text + QStringLiteral("lic droit sur la liste pour associer ") + piece(single) + QStringLiteral(" à ")
            + comName(port) + QLatin1Char('.');
    }
    return QStringLiteral("Présents : ") + seen.join(QStringLiteral(", "))
        + QStringLiteral(". Choisissez leur numéro dans la liste, ou clic droit sur la liste pour associer l'un "
                         "d'eux à ")
        + comName(port) + QLatin1Char('.');
}

QString builtInOpenedText(const PortAssignments::Resolution &r, const PortAssignments &ports)
{
    const bool builtIn = r.device ? r.device->builtIn : builtInPortIndex(r.path) >= 0;
    if (!builtIn)
        return {};
    const bool usbPresent = std::any_of(ports.present().cbegin(), ports.present().cend(),
                                        [](const SerialDevice &d) { return !d.builtIn; });
    if (!usbPresent)
        return {};
    return comName(r.port) + QStringLiteral(" est le port intégré ") + piece(r.path) + QStringLiteral(". ")
        + presentDevicesHint(r.port, ports);
}

QString settingsProblemText(QSettings::Status status, const QString &settingsFile)
{
    if (status == QSettings::AccessError)
        return QStringLiteral("Réglages illisibles (") + piece(settingsFile)
            + QStringLiteral(") : les choix de ports ne sont pas lus et le fichier n'est pas modifié. "
                             "Vérifiez ses droits.");
    if (status == QSettings::FormatError)
        return QStringLiteral("Réglages en partie illisibles (") + piece(settingsFile)
            + QStringLiteral(") : les lignes non comprises sont laissées telles quelles. Vérifiez le fichier.");
    return {};
}
