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

LineSettings LineSettings::read(const QString &text, QList<Fault> *faults)
{
    faults->clear();
    LineSettings line;
    const LineSettings standard;
    const QString simple = text.simplified();
    if (simple.isEmpty())
        return line; // "COM1=": no line set
    const auto quoted = [](const QString &t) { return QStringLiteral("« ") + t + QStringLiteral(" »"); };
    const QStringList words = simple.split(u' ');
    if (words.size() > 3) {
        faults->append({QStringLiteral("réglage ") + quoted(simple) + QStringLiteral(" illisible"), standard.text()});
        return line;
    }
    bool ok = false;
    const qlonglong baud = words[0].toLongLong(&ok);
    if (ok && baud >= MinBaud && baud <= MaxBaud)
        line.baud = qint32(baud);
    else
        faults->append({QStringLiteral("vitesse ") + quoted(words[0]) + QStringLiteral(" invalide"),
                        QString::number(standard.baud)});
    const QString standardFrame = standard.text().section(u' ', 1, 1);
    if (words.size() < 2) {
        faults->append({QStringLiteral("format absent"), standardFrame});
        return line;
    }
    // The frame and the flow, each read as a line of its own would be.
    if (const auto frame = fromText(QStringLiteral("9600 ") + words[1])) {
        line.dataBits = frame->dataBits;
        line.parity = frame->parity;
        line.stopBits = frame->stopBits;
    } else {
        faults->append({QStringLiteral("format ") + quoted(words[1]) + QStringLiteral(" invalide"), standardFrame});
    }
    if (words.size() == 3) {
        if (const auto flow = fromText(QStringLiteral("9600 8N1 ") + words[2]))
            line.flow = flow->flow;
        else
            faults->append({QStringLiteral("contrôle de flux ") + quoted(words[2]) + QStringLiteral(" invalide"),
                            QStringLiteral("aucun")});
    }
    return line;
}
