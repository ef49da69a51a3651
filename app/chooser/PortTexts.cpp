#include "PortTexts.h"

#include "StatusPieces.h"
#include "StatusText.h"

#include <QFileInfo>


namespace {

const QString Dash = QStringLiteral(" — ");

using StatusPieces::piece;

QString unsavedText(const QString &settingsFile)
{
    return QStringLiteral(" Le choix n'a pas pu être enregistré dans ") + piece(settingsFile)
        + QStringLiteral(" : il vaut pour cette session seulement.");
}

} // namespace

QString deviceLabel(const SerialDevice &d)
{
    // What the system says of a device is outside text: shown, never obeyed.
    using StatusPieces::readable;
    QString text = readable(d.systemLocation);
    if (!d.description.isEmpty())
        text += Dash + readable(d.description);
    QStringList more;
    if (!d.manufacturer.isEmpty())
        more << readable(d.manufacturer);
    if (!d.serialNumber.isEmpty())
        more << QStringLiteral("n° ") + readable(d.serialNumber);
    if (!more.isEmpty())
        text += QStringLiteral(" (") + more.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text;
}

QString sourceText(PortAssignments::Source source, int port)
{
    switch (source) {
    case PortAssignments::Source::Variable:
        return QStringLiteral("VANTREL_COM") + QString::number(port);
    case PortAssignments::Source::Chosen:
        return QStringLiteral("choisi");
    case PortAssignments::Source::Automatic:
        return QStringLiteral("attribué automatiquement");
    case PortAssignments::Source::Default:
        return QStringLiteral("par défaut");
    }
    return {};
}

QString portToolTip(const PortAssignments::Resolution &r)
{
    const QString head = comName(r.port) + QStringLiteral(" : ");
    if (!r.validPath)
        return head + QStringLiteral("« ") + StatusPieces::readable(r.raw) + QStringLiteral(" » n'est pas un chemin de périphérique")
            + Dash + (r.source == PortAssignments::Source::Variable ? sourceText(r.source, r.port) : QStringLiteral("réglages"));
    QString text;
    if (r.device) {
        text = head + deviceLabel(*r.device) + Dash + sourceText(r.source, r.port);
        if (r.path != r.device->systemLocation)
            text += QLatin1Char('\n') + StatusPieces::readable(r.path);
    } else if (QFileInfo::exists(r.path)) {
        text = head + StatusPieces::readable(r.path) + Dash + sourceText(r.source, r.port); // present, but the system does not list it
    } else {
        text = head + StatusPieces::readable(r.path) + Dash + QStringLiteral("absent") + Dash + sourceText(r.source, r.port);
    }
    return text;
}

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

QString choiceText(const PortAssignments::Resolution &now, bool saved, const QString &settingsFile)
{
    QString text = comName(now.port) + QStringLiteral(" associé à ") + piece(now.path)
        + QStringLiteral(" : prend effet à la prochaine ouverture du port.");
    if (!saved)
        text += unsavedText(settingsFile);
    return text;
}

QString releaseText(const PortAssignments::Resolution &now, bool saved, const QString &settingsFile)
{
    QString text = comName(now.port) + QStringLiteral(" rendu au système : ") + piece(now.path) + QStringLiteral(" (")
        + sourceText(now.source, now.port) + QStringLiteral("), à la prochaine ouverture du port.");
    if (!saved)
        text += unsavedText(settingsFile);
    return text;
}

QString notAbsoluteText(int port, const QString &typed)
{
    return comName(port) + QStringLiteral(" : « ") + piece(typed)
        + QStringLiteral(" » n'est pas un chemin complet. Donnez un chemin qui commence par /, par exemple "
                         "/dev/ttyUSB0.");
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
