#include "PortHolders.h"

QString PortHolder::knownRemedy() const
{
    if (name == QLatin1String("ModemManager"))
        return QStringLiteral("ModemManager sonde les appareils USB série qui viennent d'être branchés : attendez "
                              "quelques secondes, ou arrêtez-le (sudo systemctl stop ModemManager).");
    if (name == QLatin1String("brltty"))
        return QStringLiteral("brltty (afficheur braille) prend certains adaptateurs USB-série : sans afficheur "
                              "braille, retirez-le (sudo apt remove brltty) puis rebranchez l'appareil.");
    if (name == QLatin1String("gpsd"))
        return QStringLiteral("gpsd lit les ports série à la recherche d'un GPS : arrêtez-le (sudo systemctl stop "
                              "gpsd.socket gpsd).");
    return {};
}

QString holdersText(const QList<PortHolder> &holders)
{
    QStringList names;
    for (const PortHolder &h : holders)
        names << (h.name.isEmpty() ? QStringLiteral("un programme") : h.name) + QStringLiteral(" (pid ")
                + QString::number(h.pid) + QLatin1Char(')');
    return names.join(QStringLiteral(", "));
}
