#pragma once

#include <QByteArray>
#include <QString>

// Device paths as the system has them: bytes. Linux file names need not be
// valid UTF-8, and Qt's own conversion (QFile::decodeName) turns each byte it
// cannot decode into U+FFFD, after which the path names another file or
// none. Here each such byte becomes one of the 128 lone surrogates
// U+DC80..U+DCFF (the "surrogate escape" of other systems), which no valid
// text contains, so that bytes -> QString -> bytes gives back the same bytes
// for every path. Valid UTF-8 decodes as usual.
//
// Everything in serial/ that hands a path to the system goes through
// devicePathBytes(); paths read from the environment through
// devicePathFromBytes(). For the eye, visiblePath() writes each escaped byte
// as \xNN.

QString devicePathFromBytes(const QByteArray &bytes);
QByteArray devicePathBytes(const QString &path);

// The byte that the character at `i` stands for when it is an escaped byte,
// or -1 (also for the low half of a surrogate pair, which is text).
int escapedByteAt(QStringView text, qsizetype i);

// The path with escaped bytes written \xNN, for messages.
QString visiblePath(const QString &path);

// The path with every link resolved, empty when nothing is there.
QString canonicalDevicePath(const QString &path);

// True when something exists at the path (a link is followed).
bool devicePathExists(const QString &path);
