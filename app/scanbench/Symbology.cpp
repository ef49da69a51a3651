#include "Symbology.h"

#include "Gs1ElementString.h"

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
    case 'Q': return modifier == '3' ? QStringLiteral("GS1 QR Code") : QStringLiteral("QR Code");
    case 'R': return QStringLiteral("2 parmi 5 IATA");
    case 'S': return QStringLiteral("2 parmi 5 industriel");
    case 'T': return QStringLiteral("Code 49");
    case 'U': return QStringLiteral("MaxiCode");
    case 'X': return QStringLiteral("autre code-barres");
    case 'Z': return QStringLiteral("hors code-barres");
    case 'd': return modifier == '2' ? QStringLiteral("GS1 DataMatrix") : QStringLiteral("Data Matrix");
    case 'e': return QStringLiteral("GS1 DataBar");
    case 'h': return QStringLiteral("Han Xin");
    case 'z': return QStringLiteral("Aztec");
    default: return {};
    }
}

// GS1 data: element strings that may start with a GTIN-14 under AI (01).
// The modifiers that say "FNC1 in first position" (GS1); FNC1 in second
// position (]d5, ]Q4...) is an AIM application's, not GS1's.
bool carriesGs1Data(char code, char modifier)
{
    return (code == 'C' && modifier == '1') || code == 'e' || (code == 'd' && modifier == '2')
        || (code == 'Q' && modifier == '3');
}

void checkDigits(Symbology &s, QByteArrayView digits);

void malformed(Symbology &s, const QString &fault)
{
    s.check = Symbology::Check::Malformed;
    s.fault = fault;
}

// ]E0 carries EAN-13 (13 digits), UPC-A (12) and UPC-E (8: number system,
// six digits, check digit), each named by its length.
void readE0(Symbology &s, QByteArrayView data)
{
    const qsizetype n = data.size();
    s.name = n == 13 ? QStringLiteral("EAN-13") : n == 12 ? QStringLiteral("UPC-A")
           : n == 8  ? QStringLiteral("UPC-E") : QStringLiteral("EAN-13 / UPC-A");
    if (!allDigits(data) || (n != 8 && n != 12 && n != 13)) {
        malformed(s, QStringLiteral("8, 12 ou 13 chiffres attendus"));
        return;
    }
    if (n != 8) {
        checkDigits(s, data);
        return;
    }
    const QByteArray upcA = Symbology::upcEExpanded(data);
    if (upcA.isEmpty())
        malformed(s, QStringLiteral("système de numérotation 0 ou 1 attendu"));
    else
        checkDigits(s, upcA);
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

QByteArray Symbology::upcEExpanded(QByteArrayView upcE)
{
    if (upcE.size() != 8 || !allDigits(upcE) || (upcE[0] != '0' && upcE[0] != '1'))
        return {};
    const QByteArrayView x = upcE.sliced(1, 6); // X1 to X6
    QByteArray a = upcE.first(1).toByteArray();
    switch (x[5]) {
    case '0':
    case '1':
    case '2': a += x.first(2).toByteArray() + x[5] + "0000" + x.sliced(2, 3).toByteArray(); break;
    case '3': a += x.first(3).toByteArray() + "00000" + x.sliced(3, 2).toByteArray(); break;
    case '4': a += x.first(4).toByteArray() + "00000" + x[4]; break;
    default: a += x.first(5).toByteArray() + "0000" + x[5]; break;
    }
    return a + upcE[7];
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
        if (code == 'E' && modifier == '0')
            readE0(s, data);
        else if (code == 'E' && modifier == '4') {
            if (n == 8 && allDigits(data))
                checkDigits(s, data);
            else
                malformed(s, QStringLiteral("8 chiffres attendus"));
        } else if (code == 'E' && (modifier == '1' || modifier == '2')) {
            // An add-on carries no check digit in its data: its length is what can be wrong.
            const qsizetype want = modifier == '1' ? 2 : 5;
            if (n != want || !allDigits(data))
                malformed(s, QStringLiteral("%1 chiffres attendus").arg(want));
        } else if (code == 'E' && modifier == '3' && n >= 13 && allDigits(data.first(13)))
            checkDigits(s, data.first(13));
        else if (code == 'I' && n == 14 && allDigits(data))
            checkDigits(s, data);
        else if (carriesGs1Data(code, modifier)) {
            s.gs1 = true;
            if (n >= 16 && data.startsWith("01") && allDigits(data.sliced(2, 14)))
                checkDigits(s, data.sliced(2, 14));
            // Any other break of the element strings' rules is named.
            if (s.check != Check::Wrong) {
                const Gs1ElementString e = Gs1ElementString::read(data);
                if (!e.fault.isEmpty())
                    malformed(s, e.fault);
            }
        }
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
    case Check::Malformed: return QStringLiteral("invalide : ") + fault;
    case Check::None: break;
    }
    return QStringLiteral("—");
}
