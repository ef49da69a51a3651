#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// How the bench's console writes bytes as text, both ways.
//
// Typed: <ESC>, <CR>, <LF>, <GS> and the other ASCII names of the control
// bytes (<NUL> to <US>, <DEL>; upper or lower case), <TAB> as well as <HT>,
// \xNN for any byte, \r, \n and \t, and \\ for a backslash. Every other
// character is its Latin-1 byte. A "<" that begins no name is itself.
//
// A command is at most MaxBytes long, the bench's longest scan: typed with
// \xNN for every byte, MaxTyped characters.
//
// Shown: control bytes by their names, bytes from 0x7F up as \xNN, the
// backslash as \\, and a "<" that would read as a name as \x3C: what is
// shown, typed again, sends the same bytes.
class ConsoleEscapes
{
public:
    static constexpr qsizetype MaxBytes = 16384;
    static constexpr qsizetype MaxTyped = 4 * MaxBytes;

    // The bytes `typed` stands for; nothing, with `why` in French, when a
    // character cannot be sent (beyond Latin-1, an unknown escape).
    static std::optional<QByteArray> bytesOf(const QString &typed, QString *why);
    static QString shown(const QByteArray &bytes);
};
