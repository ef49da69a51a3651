#include "LineSettings.h"

#include <QStringList>

namespace {

struct ParityLetter {
    LineSettings::Parity parity;
    QChar letter;
};
const ParityLetter Parities[] = {{LineSettings::Parity::None, u'N'},   {LineSettings::Parity::Even, u'E'},
                                 {LineSettings::Parity::Odd, u'O'},  {LineSettings::Parity::Mark, u'M'},
                                 {LineSettings::Parity::Space, u'S'}};

} // namespace

QString LineSettings::text() const
{
    QChar p = u'N';
    for (const ParityLetter &l : Parities)
        if (l.parity == parity)
            p = l.letter;
    const QString stop = stopBits == StopBits::One       ? QStringLiteral("1")
                       : stopBits == StopBits::OneAndHalf ? QStringLiteral("1.5")
                                                                 : QStringLiteral("2");
    QString t = QString::number(baud) + u' ' + QString::number(dataBits) + p + stop;
    if (flow == Flow::Hardware)
        t += QStringLiteral(" RTS/CTS");
    else if (flow == Flow::Software)
        t += QStringLiteral(" XON/XOFF");
    return t;
}

std::optional<LineSettings> LineSettings::fromText(const QString &text)
{
    const QStringList words = text.simplified().split(u' ');
    if (words.size() < 2 || words.size() > 3)
        return std::nullopt;
    LineSettings s;
    bool ok = false;
    s.baud = words[0].toInt(&ok);
    if (!ok || s.baud < MinBaud || s.baud > MaxBaud)
        return std::nullopt;
    const QString frame = words[1].toUpper();
    if (frame.size() < 3 || frame[0] < u'5' || frame[0] > u'8')
        return std::nullopt;
    s.dataBits = frame[0].digitValue();
    bool parityKnown = false;
    for (const ParityLetter &l : Parities) {
        if (l.letter == frame[1]) {
            s.parity = l.parity;
            parityKnown = true;
        }
    }
    const QString stop = frame.mid(2);
    if (!parityKnown || (stop != u"1" && stop != u"1.5" && stop != u"2"))
        return std::nullopt;
    s.stopBits = stop == u"1" ? StopBits::One : stop == u"2" ? StopBits::Two : StopBits::OneAndHalf;
    if (words.size() == 3) {
        const QString f = words[2].toUpper();
        if (f == u"RTS/CTS")
            s.flow = Flow::Hardware;
        else if (f == u"XON/XOFF")
            s.flow = Flow::Software;
        else
            return std::nullopt;
    }
    return s;
}
