#include "FrenchNumber.h"
#include "ConsoleEscapes.h"

#include <QLocale>

namespace {

const char *const Names[33] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
                               "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                               "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US",  "DEL"};

// Other names people give a control byte.
struct Alias {
    const char *name;
    uchar byte;
};
const Alias Aliases[] = {{"TAB", 0x09}};

// The byte of the name that starts at `at` ("<ESC>"), and its length.
std::optional<std::pair<uchar, qsizetype>> nameAt(QStringView text, qsizetype at)
{
    if (at >= text.size() || text[at] != u'<')
        return std::nullopt;
    const qsizetype close = text.indexOf(u'>', at + 1);
    if (close < 0 || close - at > 4)
        return std::nullopt;
    const QString name = text.sliced(at + 1, close - at - 1).toString().toUpper();
    for (int i = 0; i < 33; ++i)
        if (name == QLatin1String(Names[i]))
            return std::pair{uchar(i == 32 ? 0x7F : i), close - at + 1};
    for (const Alias &a : Aliases)
        if (name == QLatin1String(a.name))
            return std::pair{a.byte, close - at + 1};
    return std::nullopt;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

std::optional<QByteArray> ConsoleEscapes::bytesOf(const QString &typed, QString *why)
{
    QByteArray out;
    for (qsizetype i = 0; i < typed.size();) {
        const QChar c = typed[i];
        if (const auto name = nameAt(typed, i)) {
            out += char(name->first);
            i += name->second;
            continue;
        }
        if (c == u'\\') {
            const QChar next = i + 1 < typed.size() ? typed[i + 1] : QChar();
            if (next == u'r' || next == u'n' || next == u't' || next == u'\\') {
                out += next == u'r' ? '\r' : next == u'n' ? '\n' : next == u't' ? '\t' : '\\';
                i += 2;
                continue;
            }
            if (next == u'x' && i + 3 < typed.size() && hexDigit(typed[i + 2]) >= 0 && hexDigit(typed[i + 3]) >= 0) {
                out += char(hexDigit(typed[i + 2]) * 16 + hexDigit(typed[i + 3]));
                i += 4;
                continue;
            }
            *why = next == u'x' ? QStringLiteral("« \\x » attend deux chiffres hexadécimaux (\\x1B).")
                                : QStringLiteral("« \\%1 » n'est pas un échappement connu : écrivez \\\\ pour une barre oblique inverse.")
                                      .arg(next.isNull() ? QString() : QString(next));
            return std::nullopt;
        }
        if (c.unicode() > 0xFF) {
            *why = QStringLiteral("« %1 » ne tient pas dans un octet : écrivez son octet en \\xNN.").arg(c);
            return std::nullopt;
        }
        out += char(c.unicode());
        ++i;
    }
    if (out.size() > MaxBytes) {
        *why = QStringLiteral("commande trop longue : %1 octets, au plus %2 (la longueur du plus long scan).")
                   .arg(frenchNumber(out.size()), frenchNumber(MaxBytes));
        return std::nullopt;
    }
    return out;
}

QString ConsoleEscapes::shown(const QByteArray &bytes)
{
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = uchar(bytes[i]);
        if (b < 0x20 || b == 0x7F)
            out += u'<' + QLatin1String(Names[b == 0x7F ? 32 : b]) + u'>';
        else if (b >= 0x80)
            out += QStringLiteral("\\x") + QString::number(b, 16).toUpper();
        else if (b == '\\')
            out += QStringLiteral("\\\\");
        else if (b == '<' && nameAt(QString::fromLatin1(bytes.mid(i, 6)), 0))
            out += QStringLiteral("\\x3C");
        else
            out += QLatin1Char(char(b));
    }
    return out;
}
