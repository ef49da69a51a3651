#pragma once

#include "LineSettings.h"
#include "ReadRateFigures.h"
#include "ScanTable.h"
#include "ScanTally.h"
#include "SerialDevice.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// The report of a bench session: the table as CSV, a summary as text and,
// after a read-rate test, its histogram as a picture, written side by side
// (rapport.csv, rapport.txt, rapport.png) and all together or not at all
// (FileSet).
//
// The CSV is what a spreadsheet opens right: UTF-8 with a byte order mark,
// CR LF line ends and quotes where a field needs them (RFC 4180), ';'
// between fields as a spreadsheet in French expects. It has one row per
// scan: the table's columns, the AIM identifier, whether the scan was cut
// or left unfinished ("État"), and the GS1 element strings read out. Times
// are ISO 8601 with milliseconds and the UTC offset. The data is written
// as text when it is UTF-8 ("Zürich 3€"), with every control byte (and
// every byte past ASCII when it is not UTF-8) as \xNN and the backslash as
// \\, so that a control byte never breaks a row and the bytes can be read
// back exactly. A scan is outside text: a cell that would start with '=',
// '+', '-', '@', TAB or CR, which a spreadsheet takes for a formula, starts
// with a "'" instead (a data cell's own leading "'" is written \x27).
//
// The summary names the date, the version, the device (its path, by-id
// name, description, maker and serial number when the system knows them),
// the line settings, the framing, the counters, the expected codes still
// missing, the last read-rate test's figures and histogram, and the
// console's exchanges (what was sent and what came back, as the console
// writes bytes).
class BenchReport
{
public:
    // A command the console sent, and the replies framed after it.
    struct Exchange {
        qint64 wallMs = 0;
        qint64 sentMs = 0; // when it left, on TakenBytes' clock
        QByteArray sent;
        QList<QByteArray> replies;
    };

    struct Session {
        QDateTime when;
        QString devicePath;                 // empty: no port opened yet
        std::optional<SerialDevice> device; // as the system lists it, when present
        LineSettings line;
        QString framing;                    // "automatique (CR, LF, CR LF ou TAB)"
        QString listFile;                   // the expected codes' file, or empty
        const ScanTable *table = nullptr;
        const ScanTally *tally = nullptr;
        std::optional<ReadRateFigures> readRate; // the last test, when one ran
        QString readRateSetting;                 // "100 gâchettes, attente 1 000 ms, pause 200 ms"
        QList<Exchange> exchanges;
    };

    static QByteArray csvHeader();
    static QByteArray csvRow(const ScanRow &row);
    static QByteArray escaped(const QByteArray &data);
    // A cell as a spreadsheet reads it: inert, quoted when it must be.
    static QByteArray csvCell(const QString &text);
    static QByteArray summary(const Session &session);
    // rapport.csv gives rapport.txt and rapport.png; any other name gets
    // .txt and .png added.
    static QString summaryPathFor(const QString &csvPath);
    static QString chartPathFor(const QString &csvPath);

    struct Written {
        QString why;         // empty on success, else the sentence to show
        QStringList changed; // the files written
    };
    // "« a.csv », « a.txt » et « a.png »"
    static QString changedText(const QStringList &paths);
    // Writes the files, all or none.
    static Written write(const QString &csvPath, const Session &session);
};
