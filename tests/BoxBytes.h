#pragma once

#include "ControlPictures.h"

#include <QByteArray>
#include <QString>

// The bytes the reception box stands for: the tool's line breaks out, the
// control pictures undone. A character the box should never hold shows up
// as a marker, so that a comparison fails on it.
inline QByteArray boxBytes(const QString &box)
{
    const QString flat = QString(box).remove(QStringLiteral("\r\n"));
    return bytesOfShownText(flat).value_or("<not a shown character>");
}
