#include "Gs1ElementString.h"

#include "Symbology.h"

#include <QDate>
#include <QStringList>

#include <algorithm>

namespace {

constexpr char Gs = '\x1D';

enum class Kind { Digits, Text, Date, DateDay00 };

struct Rule {
    QByteArrayView ai;  // or its first three digits for 310n-369n ("31")
    int fixed;          // the value's length when fixed; 0 when variable
    int max;            // the longest value
    Kind kind;
    bool check;         // its last digit is a GS1 check digit
    const char *name;   // in French, for the faults
};

// The common AIs, with their lengths, kinds and check digits as GS1 publishes them.
const Rule Rules[] = {
    {"00", 18, 18, Kind::Digits, true, "SSCC"},
    {"01", 14, 14, Kind::Digits, true, "GTIN"},
    {"02", 14, 14, Kind::Digits, true, "GTIN contenu"},
    {"10", 0, 20, Kind::Text, false, "lot"},
    {"11", 6, 6, Kind::Date, false, "date de production"},
    {"13", 6, 6, Kind::Date, false, "date d'emballage"},
    {"15", 6, 6, Kind::DateDay00, false, "date de durabilité minimale"},
    {"17", 6, 6, Kind::DateDay00, false, "date limite"},
    {"21", 0, 20, Kind::Text, false, "numéro de série"},
    {"30", 0, 8, Kind::Digits, false, "quantité"},
    {"37", 0, 8, Kind::Digits, false, "nombre d'unités"},
    {"400", 0, 30, Kind::Text, false, "numéro de commande"},
    {"401", 0, 30, Kind::Text, false, "GINC"},
    {"402", 17, 17, Kind::Digits, true, "GSIN"},
    {"403", 0, 30, Kind::Text, false, "code de routage"},
    {"410", 13, 13, Kind::Digits, true, "GLN"},
    {"411", 13, 13, Kind::Digits, true, "GLN"},
    {"412", 13, 13, Kind::Digits, true, "GLN"},
    {"413", 13, 13, Kind::Digits, true, "GLN"},
    {"414", 13, 13, Kind::Digits, true, "GLN"},
    {"415", 13, 13, Kind::Digits, true, "GLN"},
    {"416", 13, 13, Kind::Digits, true, "GLN"},
    {"417", 13, 13, Kind::Digits, true, "GLN"},
    {"420", 0, 20, Kind::Text, false, "code postal"},
    {"421", 0, 12, Kind::Text, false, "code postal avec pays"},
    {"422", 3, 3, Kind::Digits, false, "pays d'origine"},
    {"8003", 0, 30, Kind::Text, false, "GRAI"},
    {"8004", 0, 30, Kind::Text, false, "GIAI"},
};

bool digits(QByteArrayView v)
{
    return std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// 310n to 369n: a measure with n decimals, 6 digits.
bool isMeasure(QByteArrayView data)
{
    return data.size() >= 4 && data[0] == '3' && data[1] >= '1' && data[1] <= '6' && data[2] >= '0'
        && data[2] <= '9' && data[3] >= '0' && data[3] <= '9';
}

QString aiText(QByteArrayView ai)
{
    return QStringLiteral("(") + QString::fromLatin1(ai) + u')';
}

// The value's fault under its rule; empty when it follows it.
QString valueFault(const Rule &r, QByteArrayView ai, QByteArrayView v)
{
    const QString at = aiText(ai) + u' ' + QString::fromUtf8(r.name) + QStringLiteral(" : ");
    if (r.fixed > 0 && v.size() != r.fixed)
        return at + QStringLiteral("%1 caractères attendus, %2 reçus").arg(r.fixed).arg(v.size());
    if (v.isEmpty())
        return at + QStringLiteral("valeur vide");
    if (v.size() > r.max)
        return at + QStringLiteral("au plus %1 caractères, %2 reçus").arg(r.max).arg(v.size());
    if (r.kind != Kind::Text && !digits(v))
        return at + QStringLiteral("chiffres attendus");
    if (ai == "8003" && (v.size() < 14 || !digits(v.first(14))))
        return at + QStringLiteral("14 chiffres attendus d'abord");
    if (ai == "421" && (v.size() < 3 || !digits(v.first(3))))
        return at + QStringLiteral("un code de pays de 3 chiffres attendu d'abord");
    if (r.kind == Kind::Date || r.kind == Kind::DateDay00) {
        const int yy = v.first(2).toInt(), mm = v.sliced(2, 2).toInt(), dd = v.sliced(4, 2).toInt();
        const bool dayless = r.kind == Kind::DateDay00 && dd == 0 && mm >= 1 && mm <= 12;
        if (!dayless && !QDate(2000 + yy, mm, dd).isValid())
            return at + QStringLiteral("« %1 » n'est pas une date AAMMJJ").arg(QString::fromLatin1(v));
    }
    const QByteArrayView checked = ai == "8003" ? v.first(14) : v;
    if (r.check || ai == "8003") {
        const int want = Symbology::gs1CheckDigit(checked.first(checked.size() - 1));
        if (want != checked.back() - '0')
            return at + QStringLiteral("chiffre de contrôle faux, attendu %1").arg(want);
    }
    return {};
}

const Rule *ruleFor(QByteArrayView data, QByteArrayView *ai)
{
    static const Rule Measure {"31", 6, 6, Kind::Digits, false, "mesure"};
    if (isMeasure(data)) {
        *ai = data.first(4);
        return &Measure;
    }
    for (const Rule &r : Rules) {
        if (data.startsWith(r.ai)) {
            *ai = r.ai;
            return &r;
        }
    }
    return nullptr;
}

} // namespace

Gs1ElementString Gs1ElementString::read(QByteArrayView data)
{
    Gs1ElementString out;
    QStringList parts;
    if (data.startsWith(Gs))
        data = data.sliced(1); // FNC1 sent at the start by some scanners
    while (!data.isEmpty()) {
        QByteArrayView ai;
        const Rule *r = ruleFor(data, &ai);
        if (!r) {
            out.fault = QStringLiteral("AI inconnu ou absent au début de « %1 »")
                            .arg(QString::fromLatin1(data.first(qMin<qsizetype>(data.size(), 8))));
            break;
        }
        data = data.sliced(ai.size());
        qsizetype end = r->fixed > 0 ? qMin<qsizetype>(r->fixed, data.size()) : data.indexOf(Gs);
        if (end < 0)
            end = data.size();
        QByteArrayView value = data.first(end);
        if (r->fixed > 0 && value.contains(Gs))
            value = value.first(value.indexOf(Gs)); // FNC1 inside a fixed-length value: too short
        data = data.sliced(value.size());
        const bool gsEnds = data.startsWith(Gs);
        parts << aiText(ai) + u' ' + QString::fromLatin1(value) + (gsEnds && !data.sliced(1).isEmpty() && r->fixed == 0
                                                                      ? QStringLiteral(" <GS>") : QString());
        if (const QString fault = valueFault(*r, ai, value); !fault.isEmpty()) {
            out.fault = fault;
            break;
        }
        if (gsEnds)
            data = data.sliced(1);
    }
    out.shown = parts.join(u' ');
    return out;
}
