#pragma once

#include <QChar>
#include <QByteArray>
#include <QString>

#include <optional>

// How the reception box shows received text: one character per byte, so that
// nothing is dropped and nothing breaks a line. Control characters become the
// Unicode control pictures (NUL U+2400 ... US U+241F, DEL U+2421); printable
// ASCII and the bytes 0x80-0xFF show as their Latin-1 characters.
QChar shownChar(uchar byte);
QString shownText(QStringView received);

// The reverse mapping, for checks: the byte that a shown character stands for,
// or -1 for a character that shownText never produces.
int byteOfShownChar(QChar c);

// The bytes a shown text stands for, or nothing when a character in it is
// not one shownText produces (text the operator typed, say).
std::optional<QByteArray> bytesOfShownText(QStringView shown);
