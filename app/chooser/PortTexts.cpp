#include "PortTexts.h"

#include "SerialDevice.h"
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
    return comName(port) + QStringLiteral(" : « ") + piece(typed) + QStringLiteral(" » ") + deviceNameRemedy();
}
