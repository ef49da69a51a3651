#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include <optional>

// How the reception box shows received text: one character per byte, each
// byte visible and telling which byte it is, so that nothing is dropped,
// nothing breaks a line and the shown text gives the bytes back.
//
//   0x00-0x1F, 0x7F   the Unicode control pictures: ␀ (U+2400) ... ␟, ␡
//   0x20-0x7E         themselves
//   0x80-0x9F         the characters of Windows-1252 (€ ‚ ƒ „ … † ‡ ...),
//                     as the operators' former benches showed them; the
//                     five bytes Windows-1252 leaves undefined take the
//                     five spare control pictures:
//                     0x81 ␦, 0x8D ␥, 0x8F ␢, 0x90 ␣, 0x9D ␤
//   0xA0              ⍽ (the symbol for a no-break space)
//   0xAD              ‐ (U+2010, where the soft hyphen would be invisible)
//   0xA1-0xFF         the Latin-1 characters
//
// isNonPrinting() tells the shown characters that stand for control bytes
// and the other non-printing bytes, which the box sets apart with a
// background so that "␍" never reads as the letters C and R.
QChar shownChar(uchar byte);
QString shownText(QStringView received);

// The byte that a shown character stands for, or -1 for a character that
// shownText never produces.
int byteOfShownChar(QChar c);

// True for the shown characters of the control bytes, 0x7F, the undefined
// five, 0xA0 and 0xAD.
bool isNonPrinting(QChar shown);

// The bytes a shown text stands for, or nothing when a character in it is
// not one shownText produces (text the operator typed, say).
std::optional<QByteArray> bytesOfShownText(QStringView shown);
