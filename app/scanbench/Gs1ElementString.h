#pragma once

#include <QByteArrayView>
#include <QString>

// GS1 element strings read as a person reads them: the data of a GS1
// symbology (GS1-128, GS1 DataBar, GS1 DataMatrix, GS1 QR Code) cut into
// its Application Identifiers, "(01) 09506000134352 (17) 201231 (10)
// ABC123", each checked against GS1's published rules for
// the common AIs:
//
//   fixed length   00 (18 digits), 01 and 02 (14), 11 13 15 17 (6, a date
//                  YYMMDD; DD 00 for 15 and 17), 310n-369n (6), 402 (17),
//                  410-417 (13), 422 (3), 8003 (14 digits, then up to 16)
//   variable       10 and 21 (up to 20), 30 and 37 (up to 8 digits), 400
//                  401 403 (30), 420 (20), 421 (3 digits, then up to 9),
//                  8004 (30); each ends at FNC1 (GS, 0x1D) or at the end
//   check digit    00 (SSCC), 01 and 02 (GTIN), 402 (GSIN), 410-417 (GLN),
//                  8003 (its GTIN)
//
// A string that breaks a rule is named by its first fault: an unknown AI,
// a value too short or too long, a letter where digits go, a date that is
// no date, a wrong check digit, FNC1 where a fixed-length value goes on.
struct Gs1ElementString {
    QString shown; // "(01) 09506000134352 (17) 201231 (10) ABC123", GS as "<GS>" where it ends a value
    QString fault; // empty when the string follows the rules

    static Gs1ElementString read(QByteArrayView data);
};
