#include "Symbology.h"

#include <QHash>

namespace {

bool allDigits(QByteArrayView s)
{
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool isModifier(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The code characters of ISO/IEC 15424 that scanners send.
QString codeName(char code, char modifier)
{
    switch (code) {
    case 'A': return QStringLiteral("Code 39");
    case 'B': return QStringLiteral("Telepen");
    case 'C': return modifier == '1' ? QStringLiteral("GS1-128") : QStringLiteral("Code 128");
    case 'D': return QStringLiteral("Code One");
    case 'E':
        switch (modifier) {
        case '0': return QStringLiteral("EAN-13 / UPC-A");
        case '1': return QStringLiteral("Add-on à 2 chiffres");
        case '2': return QStringLiteral("Add-on à 5 chiffres");
        case '3': return QStringLiteral("EAN-13 avec add-on");
        case '4': return QStringLiteral("EAN-8");
        default: return QStringLiteral("EAN/UPC");
        }
    case 'F': return QStringLiteral("Codabar");
    case 'G': return QStringLiteral("Code 93");
    case 'H': return QStringLiteral("Code 11");
    case 'I': return QStringLiteral("ITF");
    case 'K': return QStringLiteral("Code 16K");
    case 'L': return QStringLiteral("PDF417");
    case 'M': return QStringLiteral("MSI");
    case 'N': return QStringLiteral("Anker");
    case 'O': return QStringLiteral("Codablock");
    case 'P': return QStringLiteral("Plessey");
    case 'Q': return QStringLiteral("QR Code");
    case 'R': return QStringLiteral("2 parmi 5 IATA");
    case 'S': return QStringLiteral("2 parmi 5 industriel");
    case 'T': return QStringLiteral("Code 49");
    case 'U': return QStringLiteral("MaxiCode");
    case 'X': return QStringLiteral("autre code-barres");
    case 'Z': return QStringLiteral("hors code-barres");
    case 'd': return modifier == '2' || modifier == '5' ? QStringLiteral("GS1 DataMatrix") : QStringLiteral("Data Matrix");
    case 'e': return QStringLiteral("GS1 DataBar");
    case 'h': return QStringLiteral("Han Xin");
    case 'z': return QStringLiteral("Aztec");
    default: return {};
    }
}

// GS1 data: element strings that may start with a GTIN-14 under AI (01).
bool carriesGs1Data(char code, char modifier)
{
    return (code == 'C' && modifier == '1') || code == 'e' || (code == 'd' && (modifier == '2' || modifier == '5'))
        || (code == 'Q' && (modifier == '3' || modifier == '4'));
}

void checkDigits(Symbology &s, QByteArrayView digits)
{
    const int want = Symbology::gs1CheckDigit(digits.first(digits.size() - 1));
    if (want < 0)
        return;
    const bool right = digits.back() - '0' == want;
    s.check = right ? Symbology::Check::Right : Symbology::Check::Wrong;
    s.expectedDigit = right ? -1 : want;
}

} // namespace

int Symbology::gs1CheckDigit(QByteArrayView digits)
{
    if (!allDigits(digits))
        return -1;
    int sum = 0;
    int weight = 3;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        sum += (digits[i] - '0') * weight;
        weight = 4 - weight;
    }
    return (10 - sum % 10) % 10;
}

QByteArrayView Symbology::payload(QByteArrayView scan)
{
    if (scan.size() >= 3 && scan[0] == ']' && !codeName(scan[1], scan[2]).isEmpty() && isModifier(scan[2]))
        return scan.sliced(3);
    return scan;
}

Symbology Symbology::of(QByteArrayView scan)
{
    Symbology s;
    const QByteArrayView data = payload(scan);
    if (data.size() != scan.size()) {
        const char code = scan[1], modifier = scan[2];
        s.aim = scan.first(3).toByteArray();
        s.name = codeName(code, modifier);
        const qsizetype n = data.size();
        if (code == 'E' && (modifier == '0' || modifier == '4') && allDigits(data) && (n == 8 || n == 12 || n == 13))
            checkDigits(s, data);
        else if (code == 'E' && modifier == '3' && n >= 13 && allDigits(data.first(13)))
            checkDigits(s, data.first(13));
        else if (code == 'I' && n == 14 && allDigits(data))
            checkDigits(s, data);
        else if (carriesGs1Data(code, modifier) && n >= 16 && data.startsWith("01") && allDigits(data.sliced(2, 14)))
            checkDigits(s, data.sliced(2, 14));
        return s;
    }
    const qsizetype n = data.size();
    if ((n == 8 || n == 12 || n == 13 || n == 14) && allDigits(data)
        && gs1CheckDigit(data.first(n - 1)) == data.back() - '0') {
        s.name = n == 8 ? QStringLiteral("EAN-8") : n == 12 ? QStringLiteral("UPC-A")
               : n == 13 ? QStringLiteral("EAN-13") : QStringLiteral("GTIN-14");
        s.check = Check::Right;
        return s;
    }
    s.name = QStringLiteral("inconnue");
    return s;
}

QString Symbology::shownName() const
{
    if (aim.isEmpty())
        return name;
    return name + QStringLiteral(" (") + QString::fromLatin1(aim) + u')';
}

QString Symbology::shownCheck() const
{
    switch (check) {
    case Check::Right: return QStringLiteral("correct");
    case Check::Wrong: return QStringLiteral("faux, attendu ") + QString::number(expectedDigit);
    case Check::None: break;
    }
    return QStringLiteral("—");
}
