#pragma once

#include <QString>

// Texts that come from outside the program (device paths, what the operator
// typed, a program's name) inside the status line's French messages.
//
// A message marks each such piece with piece(). The piece is made readable
// on the spot (readable()): control characters become their Unicode
// pictures, so that a newline never breaks the line and an escape never
// hides; the marks that reorder text (U+202E and its kin) are written as
// their code, \u202E, so that none turns the rest of the line around; and
// each byte of a path that is not UTF-8 is written \xNN. The marks (two private-use
// characters) let the window show the message in two forms:
//   - fullText(): the whole message, for the tooltip, the accessible
//     description and the program's own record of what it said;
//   - elidedText(): each piece longer than a limit cut in the middle with
//     "…", so that a 300-character path or a 10,000-character entry never
//     pushes the remedy, which ends every message, out of the line.
// Pieces are never built with QString::arg, so a "%1" in them stays as is.
namespace StatusPieces {

QString readable(const QString &text);
QString piece(const QString &text);
QString fullText(const QString &marked);
QString elidedText(const QString &marked, int maxPiece);

} // namespace StatusPieces
