#include "SimOptions.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::vector<std::string> DefaultCodes = {"4006381333931", "3017620422003", "5449000000996", "7622210449283"};

// A value that names a file rather than a list of codes: it has a slash,
// or ends in a file name extension (".txt", ".csv").
bool looksLikePath(const std::string &value)
{
    if (value.find('/') != std::string::npos)
        return true;
    const size_t dot = value.rfind('.');
    if (dot == std::string::npos || dot + 1 >= value.size() || value.size() - dot > 5)
        return false;
    for (size_t i = dot + 1; i < value.size(); ++i)
        if (!std::isalpha(static_cast<unsigned char>(value[i])))
            return false;
    return value.find(',') == std::string::npos;
}

constexpr off_t MaxCodesFile = off_t(16) << 20;

// The codes file, whole, when it is a regular file of a sane size. A FIFO, a
// device (/dev/zero would grow without end) or a folder is refused; the open
// never blocks.
bool readCodesFile(const std::string &path, std::string &content, std::string &error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = "--codes : fichier « " + path + " » introuvable ou illisible";
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode) || st.st_size > MaxCodesFile) {
        ::close(fd);
        error = S_ISREG(st.st_mode) ? "--codes : « " + path + " » dépasse 16 Mio"
                                    : "--codes : « " + path + " » n'est pas un fichier ordinaire";
        return false;
    }
    char buf[65536];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || content.size() + size_t(n) > size_t(MaxCodesFile)) {
            ::close(fd);
            error = "--codes : fichier « " + path + " » illisible";
            return false;
        }
        content.append(buf, size_t(n));
    }
    ::close(fd);
    return true;
}

bool readCodes(const std::string &value, std::vector<std::string> &codes, std::string &error)
{
    struct stat st {};
    const bool exists = ::stat(value.c_str(), &st) == 0;
    if (!exists && looksLikePath(value)) {
        error = "--codes : fichier « " + value + " » introuvable ou illisible";
        return false;
    }
    if (exists) {
        std::string content;
        if (!readCodesFile(value, content, error))
            return false;
        std::stringstream file(content);
        std::string line;
        while (std::getline(file, line)) {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.pop_back();
            if (!line.empty() && line[0] != '#')
                codes.push_back(line);
        }
    } else {
        std::stringstream list(value);
        std::string code;
        while (std::getline(list, code, ','))
            if (!code.empty())
                codes.push_back(code);
    }
    if (codes.empty()) {
        error = "--codes : aucun code dans « " + value + " »";
        return false;
    }
    for (const std::string &c : codes) {
        if (c.size() < 6) {
            error = "--codes : « " + c + " » a moins de 6 caractères";
            return false;
        }
    }
    return true;
}

// A share from 0 to 1 ("0.1"), whole or refused.
bool share(const std::string &text, double &out)
{
    char *end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && out >= 0 && out <= 1;
}

} // namespace

SimParse parseSimOptions(const std::vector<std::string> &args)
{
    SimOptions o;
    auto fail = [](std::string why) { return SimParse{std::nullopt, std::move(why)}; };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--link") {
            if (!value(o.link) || o.link.empty())
                return fail("--link attend un chemin");
        } else if (a == "--every") {
            if (!value(v))
                return fail("--every attend un nombre de secondes");
            char *end = nullptr;
            o.everySeconds = std::strtod(v.c_str(), &end);
            // Below a millisecond the loop would do nothing but send.
            if (end == v.c_str() || *end != '\0' || !(o.everySeconds >= 0.001) || o.everySeconds > 86400)
                return fail("--every : « " + v + " » n'est pas une durée en secondes (de 0.001 à 86400)");
        } else if (a == "--codes") {
            if (!value(v))
                return fail("--codes attend un fichier ou une liste séparée par des virgules");
            std::string error;
            if (!readCodes(v, o.codes, error))
                return fail(error);
        } else if (a == "--split") {
            o.split = true;
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--pace") {
            o.pace = true;
        } else if (a == "--garbage") {
            o.garbage = true;
        } else if (a == "--once") {
            o.once = true;
        } else if (a == "--aim") {
            o.aim = true;
        } else if (a == "--no-terminator") {
            o.noTerminator = true;
        } else if (a == "--no-read") {
            if (!value(v))
                return fail("--no-read attend une part, de 0 à 1");
            if (!share(v, o.noRead))
                return fail("--no-read : « " + v + " » n'est pas une part de 0 à 1 (0.1 : une gâchette sur dix)");
        } else if (a == "--delay") {
            if (!value(v))
                return fail("--delay attend une durée en ms, ou MIN-MAX");
            char *end = nullptr;
            const long lo = std::strtol(v.c_str(), &end, 10);
            long hi = lo;
            if (end != v.c_str() && *end == '-') {
                const char *from = end + 1;
                hi = std::strtol(from, &end, 10);
                if (end == from)
                    hi = -1;
            }
            if (end == v.c_str() || *end != '\0' || lo < 0 || hi < lo || hi > 60000)
                return fail("--delay : « " + v + " » n'est pas une durée en ms (40) ni un intervalle (20-80), de 0 à 60000");
            o.delayMinMs = int(lo);
            o.delayMaxMs = int(hi);
        } else if (a == "--wrong-check") {
            if (!value(v))
                return fail("--wrong-check attend une part, de 0 à 1");
            if (!share(v, o.wrongCheck))
                return fail("--wrong-check : « " + v + " » n'est pas une part de 0 à 1 (0.1 : un scan sur dix)");
        } else {
            return fail("option inconnue : « " + a + " »");
        }
    }
    if (o.codes.empty())
        o.codes = DefaultCodes;
    return {o, {}};
}

std::string simUsage()
{
    return "Usage : vantrel-sim [options]\n"
           "Joue un lecteur de codes-barres sur un pseudo-terminal et affiche son chemin.\n"
           "\n"
           "  --link CHEMIN     tient un lien symbolique CHEMIN vers le pseudo-terminal\n"
           "  --every SECONDES  envoie aussi un code tout seul à cet intervalle (mode continu,\n"
           "                    de 0.001 à 86400)\n"
           "  --codes F|LISTE   codes à envoyer : un fichier (un code par ligne) ou a,b,c\n"
           "  --split           envoie chaque code en deux morceaux, avec une pause entre eux\n"
           "  --silent          ne répond à rien\n"
           "  --pace            écrit au rythme réel de 9600 bauds (environ 1,04 ms par octet)\n"
           "  --garbage         mêle des octets de contrôle et des octets hauts aux codes\n"
           "  --once            s'arrête quand l'autre côté raccroche\n"
           "  --aim             fait précéder chaque code de son identifiant AIM (]E0 EAN-13,\n"
           "                    ]E4 EAN-8, ]I1 ITF-14, ]C0 Code 128 pour les autres)\n"
           "  --wrong-check PART  fausse le dernier chiffre de cette part des scans (0.1 : un sur dix)\n"
           "  --no-terminator   envoie les codes sans CR (le banc les découpe au silence)\n"
           "  --no-read PART    cette part des gâchettes ne donne aucun code (0.1 : une sur dix)\n"
           "  --delay MS|MIN-MAX  délai de la gâchette au code (30 ms par défaut ; 20-80 : au hasard)\n"
           "  --help            affiche cette aide\n"
           "\n"
           "Commandes comprises : ESC S7 CR (gâchette : un code), ESC S8 CR (arrêt),\n"
           "48200000000050 CR LF (commande fixe : une réponse de 13 octets), et les réglages\n"
           "ESC A1 CR / ESC A0 CR (identifiants AIM), ESC B1 CR / ESC B0 CR (bip), répondus ACK ;\n"
           "tout autre ESC texte CR est répondu NAK.\n";
}
