#include "BenchReport.h"

#include "ConsoleEscapes.h"
#include "FileSet.h"
#include "Gs1ElementString.h"
#include "ReadRateChart.h"
#include "TargetFile.h"

#include <QStringDecoder>

namespace {

constexpr char Separator = ';';

QString listed(const QStringList &paths)
{
    QStringList quoted;
    for (const QString &p : paths)
        quoted << QStringLiteral("« ") + p + QStringLiteral(" »");
    if (quoted.size() < 2)
        return quoted.join(QString());
    return quoted.mid(0, quoted.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" et ") + quoted.last();
}

QString isoTime(qint64 wallMs)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(wallMs);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

QByteArray BenchReport::escaped(const QByteArray &data)
{
    // Text in UTF-8 keeps its characters ("Zürich 3€"); any other byte
    // past ASCII is written \xNN. Either way the bytes read back exactly.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(data); // the decoder works when its result is taken
    const bool text = !utf8.hasError();
    QByteArray out;
    out.reserve(data.size());
    for (char ch : data) {
        const auto c = uchar(ch);
        if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c == 0x7F || (c > 0x7F && !text))
            out += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
        else
            out += ch;
    }
    return out;
}

QByteArray BenchReport::csvCell(const QString &text)
{
    QByteArray s = text.toUtf8();
    if (!s.isEmpty() && QByteArrayView("=+-@\t\r").contains(s.front()))
        s.prepend('\'');
    if (s.contains(Separator) || s.contains('"') || s.contains('\n') || s.contains('\r'))
        s = '"' + s.replace("\"", "\"\"") + '"';
    return s;
}

QByteArray BenchReport::csvHeader()
{
    QList<QByteArray> names;
    for (const char *name : {"N°", "Reçu à", "Écart (ms)", "Longueur", "Symbologie", "AIM", "Contrôle", "Liste",
                             "État", "Données", "GS1", "Hexa"})
        names << csvCell(QString::fromUtf8(name));
    return names.join(Separator) + "\r\n";
}

QByteArray BenchReport::csvRow(const ScanRow &r)
{
    QByteArray data = escaped(r.data);
    if (data.startsWith('\''))
        data.replace(0, 1, "\\x27"); // a leading "'" marks a cell inert
    const QList<QByteArray> fields = {
        QByteArray::number(r.number),
        isoTime(r.wallMs).toUtf8(),
        r.gapMs < 0 ? QByteArray() : QByteArray::number(r.gapMs),
        QByteArray::number(r.data.size() - r.symbology.aim.size()),
        csvCell(r.symbology.name),
        csvCell(QString::fromUtf8(escaped(r.symbology.aim))),
        csvCell(r.symbology.shownCheck()),
        csvCell(ScanTally::markText(r.mark)),
        csvCell(r.cut ? QStringLiteral("coupé") : r.mark == ScanTally::Mark::Unfinished ? QStringLiteral("inachevé")
                                                                                         : QString()),
        csvCell(QString::fromUtf8(data)),
        r.symbology.gs1 ? csvCell(Gs1ElementString::read(Symbology::payload(r.data)).shown) : QByteArray(),
        ScanTable::hexText(r.data).toLatin1(),
    };
    return fields.join(Separator) + "\r\n";
}

namespace {

// rapport.csv gives rapport<suffix>; any other name gets it added.
QString besideCsv(const QString &csvPath, const QString &suffix)
{
    const bool csv = csvPath.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    return (csv ? csvPath.chopped(4) : csvPath) + suffix;
}

} // namespace

QString BenchReport::summaryPathFor(const QString &csvPath)
{
    return besideCsv(csvPath, QStringLiteral(".txt"));
}

QString BenchReport::chartPathFor(const QString &csvPath)
{
    return besideCsv(csvPath, QStringLiteral(".png"));
}

QByteArray BenchReport::summary(const Session &s)
{
    QString t;
    const auto line = [&t](const QString &label, const QString &value) {
        if (!value.isEmpty())
            t += label + QStringLiteral(" : ") + value + u'\n';
    };
    t += QStringLiteral("Rapport du banc d'essai Vantrel\n\n");
    line(QStringLiteral("Date"), s.when.toOffsetFromUtc(s.when.offsetFromUtc()).toString(Qt::ISODate));
    line(QStringLiteral("Version de Vantrel"), QStringLiteral(VANTREL_VERSION));
    line(QStringLiteral("Périphérique"), s.devicePath.isEmpty() ? QStringLiteral("aucun port ouvert") : s.devicePath);
    if (s.device) {
        line(QStringLiteral("Nom stable"), s.device->byId);
        line(QStringLiteral("Description"), s.device->description);
        line(QStringLiteral("Fabricant"), s.device->manufacturer);
        line(QStringLiteral("Numéro de série"), s.device->serialNumber);
        if (s.device->vendorId)
            line(QStringLiteral("Identifiant USB"), QStringLiteral("%1:%2")
                                                       .arg(s.device->vendorId, 4, 16, QLatin1Char('0'))
                                                       .arg(s.device->productId, 4, 16, QLatin1Char('0')));
    }
    line(QStringLiteral("Ligne"), s.line.text());
    line(QStringLiteral("Découpage des scans"), s.framing);
    t += u'\n';
    const ScanTally &n = *s.tally;
    line(QStringLiteral("Scans"), QString::number(n.scans()));
    if (s.table->left() > 0)
        line(QStringLiteral("Scans sortis du tableau (absents du CSV)"), QString::number(s.table->left()));
    line(QStringLiteral("Chiffres de contrôle faux"), QString::number(n.checkFaults()));
    line(QStringLiteral("Doublons"), QString::number(n.duplicates())
                                         + (n.duplicatesComplete() ? QString()
                                                                   : QStringLiteral(" (comptés sur les %1 premiers codes distincts)")
                                                                         .arg(ScanTally::MaxRemembered)));
    if (n.hasList()) {
        line(QStringLiteral("Liste des codes attendus"), s.listFile);
        line(QStringLiteral("Codes attendus"), QString::number(n.expected().size()));
        line(QStringLiteral("Inattendus"), QString::number(n.unexpected()));
        line(QStringLiteral("Codes attendus manquants"), QString::number(n.missingCount()));
        for (quint32 i : n.missingIndices())
            t += QStringLiteral("  ") + QString::fromUtf8(escaped(n.expected().at(i).toByteArray())) + u'\n';
    }
    if (s.readRate) {
        const ReadRateFigures &r = *s.readRate;
        t += QStringLiteral("\nTest de lecture%1\n").arg(r.stopped ? QStringLiteral(" (arrêté avant la fin)") : QString());
        line(QStringLiteral("Réglage"), s.readRateSetting);
        line(QStringLiteral("Lectures"), r.readsText());
        line(QStringLiteral("Gâchette → données"), r.timesText());
        t += r.histogramText();
    }
    if (!s.exchanges.isEmpty()) {
        t += QStringLiteral("\nConsole\n");
        for (const Exchange &e : s.exchanges) {
            t += QDateTime::fromMSecsSinceEpoch(e.wallMs).toString(QStringLiteral("HH:mm:ss.zzz"))
                + QStringLiteral("  → ") + ConsoleEscapes::shown(e.sent) + u'\n';
            for (const QByteArray &reply : e.replies)
                t += QStringLiteral("              ← ") + ConsoleEscapes::shown(reply) + u'\n';
            if (e.replies.isEmpty())
                t += QStringLiteral("              ← (pas de réponse)\n");
        }
    }
    // Written with the system's line ends.
    return t.toUtf8().replace('\n', TargetFile::textLineEnd());
}

BenchReport::Written BenchReport::write(const QString &csvPath, const Session &session)
{
    const std::deque<ScanRow> &rows = session.table->rows();
    size_t next = 0;
    bool headerDone = false;
    FileSet files;
    files.add(csvPath, [&]() -> std::optional<QByteArray> {
        if (!headerDone) {
            headerDone = true;
            return "\xEF\xBB\xBF" + csvHeader(); // the mark tells a spreadsheet it is UTF-8
        }
        if (next == rows.size())
            return std::nullopt;
        // Rows go out in parts of about 64 KiB.
        QByteArray part;
        while (next < rows.size() && part.size() < 65536)
            part += csvRow(rows[next++]);
        return part;
    });
    const auto once = [](QByteArray bytes) {
        return [bytes = std::move(bytes), done = false]() mutable -> std::optional<QByteArray> {
            if (done)
                return std::nullopt;
            done = true;
            return bytes;
        };
    };
    files.add(summaryPathFor(csvPath), once(summary(session)));
    if (session.readRate)
        files.add(chartPathFor(csvPath), once(ReadRateChart::png(*session.readRate, session.readRateSetting)));
    const FileSet::Outcome outcome = files.write();
    Written w;
    w.changed = outcome.changed;
    if (outcome.ok())
        return w;
    w.why = QStringLiteral("« ") + outcome.failedPath + QStringLiteral(" » : ") + outcome.why
        + (outcome.partly() ? QStringLiteral(" ; les anciens fichiers n'ont pas tous pu être remis : ")
                                  + listed(outcome.changed) + QStringLiteral(" modifié(s)")
                            : QStringLiteral(" ; aucun fichier modifié"));
    return w;
}

QString BenchReport::changedText(const QStringList &paths)
{
    return listed(paths);
}
