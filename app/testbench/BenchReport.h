#pragma once

#include "LineSettings.h"
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
// the line settings, the framing, the counters and the expected codes still
// missing.
class BenchReport
{
public:
    struct Session {
        QDateTime when;
        QString devicePath;                 // empty: no port opened yet
        std::optional<SerialDevice> device; // as the system lists it, when present
        LineSettings line;
        QString framing;                    // "automatique (CR, LF ou CR LF)"
        QString listFile;                   // the expected codes' file, or empty
        const ScanTable *table = nullptr;
        const ScanTally *tally = nullptr;
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
