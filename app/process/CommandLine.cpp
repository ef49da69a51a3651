#include "CommandLine.h"

#include <QCommandLineParser>

namespace {

// Qt's own options, which QApplication reads; true when a value follows.
struct QtOption {
    const char *name;
    bool takesValue;
};
constexpr QtOption QtOptions[] = {
    {"platform", true}, {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"geometry", true}, {"qwindowicon", true}, {"icon", true},
    {"qwindowtitle", true}, {"title", true}, {"style", true}, {"stylesheet", true},
    {"session", true}, {"display", true}, {"name", true}, {"qmljsdebugger", true},
    {"reverse", false}, {"widgetcount", false}, {"nograb", false}, {"dograb", false},
    {"sync", false}, {"visual", true},
};

// The arguments without Qt's own options and their values.
QStringList withoutQtOptions(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        bool dropped = false;
        if (i > 0 && a.startsWith(QLatin1Char('-')) && a != QLatin1String("-") && a != QLatin1String("--")) {
            QString name = a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1);
            const bool inlineValue = name.contains(QLatin1Char('='));
            name = name.section(QLatin1Char('='), 0, 0);
            for (const QtOption &o : QtOptions) {
                if (name == QLatin1String(o.name) && (o.takesValue || !inlineValue)) {
                    dropped = true;
                    if (o.takesValue && !inlineValue && i + 1 < arguments.size())
                        ++i; // its value
                    break;
                }
            }
        }
        if (!dropped)
            kept << a;
    }
    return kept;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);

    CommandLine result;
    QStringList args = withoutQtOptions(arguments);
    if (args.isEmpty())
        args << QStringLiteral("vantrel");
    if (!parser.parse(args)) {
        const QStringList unknown = parser.unknownOptionNames();
        result.action = Action::Error;
        result.error = unknown.isEmpty()
            ? QStringLiteral("option mal formée (une option de vantrel ne prend pas de valeur)")
            : QStringLiteral("option inconnue : ")
                + (unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + unknown.first();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = Action::Error;
        result.error = QStringLiteral("argument inattendu : ") + parser.positionalArguments().first();
        return result;
    }
    if (parser.isSet(help))
        result.action = Action::Help;
    else if (parser.isSet(version))
        result.action = Action::Version;
    return result;
}

namespace {
// Where the ports and the settings are: the system's own words.
#ifdef Q_OS_WIN
const char16_t SystemPart[] = u""
        "Ports : COM1 à COM8 sont les ports de Windows (\\\\.\\COM1...) ; survolez la\n"
        "liste pour voir l'appareil, clic droit pour donner un autre port à un numéro.\n"
        "Réglages : %APPDATA%\\Vantrel\\Vantrel.ini, groupe [Ports], clés COM1 à COM8.\n"
        "Environnement : VANTREL_COM<n>=NOM fait de NOM le port COM n, avant les\n"
        "réglages (pour les scripts), par exemple VANTREL_COM1=COM12.\n"
        "\n"
        "Code de sortie : 0 à la fermeture de la fenêtre, 2 pour une option inconnue.\n";
#else
const char16_t SystemPart[] = u""
        "Ports : chaque appareil série branché reçoit un numéro COM, gardé d'une fois\n"
        "sur l'autre ; survolez la liste pour voir quel appareil porte quel numéro,\n"
        "clic droit pour en choisir un autre.\n"
        "Réglages : $XDG_CONFIG_HOME/Vantrel/Vantrel.conf (~/.config/Vantrel/Vantrel.conf),\n"
        "groupe [Ports], clés COM1 à COM8.\n"
        "Environnement : VANTREL_COM<n>=CHEMIN fait de CHEMIN le port COM n, avant les\n"
        "réglages (pour les scripts), par exemple VANTREL_COM1=/dev/ttyUSB0.\n"
        "\n"
        "Code de sortie : 0 à la fermeture de la fenêtre, 2 pour une option inconnue.\n"
        "Voir aussi : man vantrel, vantrel-sim(1).\n";
#endif
} // namespace

QString CommandLine::usage()
{
    return QStringLiteral(
        "Usage : vantrel [option]\n"
        "Banc d'essai d'un lecteur de codes-barres sur un port série : une fenêtre qui\n"
        "ouvre le port choisi (COM1 à COM8), allume et éteint l'appareil, déclenche une\n"
        "lecture et montre tout ce que l'appareil envoie.\n"
        "\n"
        "Options :\n"
        "  -h, --help       affiche cette aide et quitte\n"
        "  -v, --version    affiche la version et quitte\n"
        "Les options de Qt (-platform, -style, -stylesheet...) restent permises.\n"
        "\n")
        + QString::fromUtf16(SystemPart);
}

QString CommandLine::version()
{
    return QStringLiteral("vantrel " VANTREL_VERSION "\n");
}
