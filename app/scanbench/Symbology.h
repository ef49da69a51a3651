#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Which symbology a scan came from, and whether its check digit is right.
//
// A scanner set to send AIM identifiers (ISO/IEC 15424) starts every scan
// with "]", a code character and a modifier: "]E0" EAN-13, UPC-A or UPC-E
// (told apart by their length: 13, 12, 8 digits), "]E4" EAN-8, "]C1"
// GS1-128, "]Q1" QR Code... The identifier names the symbology; the data
// follows it. Without an identifier the symbology is named only where the
// content leaves no doubt: 8, 12, 13 or 14 digits whose GS1 check digit is
// right (EAN-8, UPC-A, EAN-13, GTIN-14); anything else is "inconnue".
//
// The check is the GS1 modulo-10 digit of EAN-8, EAN-13, UPC-A, UPC-E (that
// of the UPC-A it stands for), ITF-14 and
// of a GTIN-14 under AI (01) at the start of GS1 data (GS1-128, GS1
// DataBar, GS1 DataMatrix, GS1 QR Code). The other symbologies carry no
// check digit in their data, or the scanner checks it and strips it: "—".
struct Symbology {
    // Malformed: the data cannot be of its symbology (an EAN-8 of 13
    // digits, an add-on of 3); `fault` says what was expected.
    enum class Check { None, Right, Wrong, Malformed };

    QString name;          // "EAN-13 / UPC-A", "inconnue"
    QByteArray aim;        // "]E0", or empty
    Check check = Check::None;
    int expectedDigit = -1; // the right check digit, when Wrong
    QString fault;          // when Malformed: "8 chiffres attendus"
    bool gs1 = false;       // its data are GS1 element strings (Gs1ElementString)

    // The data after the identifier: what a list of expected codes holds.
    static QByteArrayView payload(QByteArrayView scan);
    static Symbology of(QByteArrayView scan);
    // The GS1 modulo-10 check digit for `digits` without their check digit
    // (weights 3 and 1 from the right); -1 when a byte is not a digit.
    static int gs1CheckDigit(QByteArrayView digits);
    // The 12-digit UPC-A that an 8-digit UPC-E stands for (its check digit
    // kept as it came); empty when it is not one (number system 0 or 1).
    static QByteArray upcEExpanded(QByteArrayView upcE);

    // "EAN-13 / UPC-A (]E0)", "EAN-13", "inconnue".
    QString shownName() const;
    // "correct", "faux, attendu 7", "invalide : 8 chiffres attendus", "—".
    QString shownCheck() const;
};
