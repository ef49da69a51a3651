#pragma once

#include <QString>

#include <optional>

// The rule for the box headed "Longueur a lire": an optional sign and decimal
// digits, with optional spaces around them, in -32768..32767. Any other text
// (empty, "abc", "6.5", "99999") is not a length.
std::optional<qint16> lengthFromText(const QString &text);
