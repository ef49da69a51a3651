#pragma once

#include "LineSettings.h"
#include "ReadRateFigures.h"
#include "ScanTable.h"
#include "ScanTally.h"
#include "SerialDevice.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The report of a bench session: the table as CSV and a summary as text,
// both in UTF-8, written side by side (rapport.csv and rapport.txt).
//
// The CSV has one row per scan and the table's columns, comma-separated,
// quoted where a field needs it (RFC 4180). Times are ISO 8601 with
// milliseconds and the UTC offset. The data is written with every byte that
// is not printable ASCII as \xNN and the backslash as \\, so that a control
// byte never breaks a row and the bytes can be read back exactly.
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
    static QByteArray summary(const Session &session);
    // rapport.csv gives rapport.txt; any other name gets .txt added.
    static QString summaryPathFor(const QString &csvPath);

    // Writes both files; empty on success, else what went wrong, in French.
    static QString write(const QString &csvPath, const Session &session);
};
