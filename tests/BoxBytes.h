#pragma once

#include "ControlPictures.h"

#include <QByteArray>
#include <QString>

// The bytes the reception box stands for: the tool's line breaks out, the
// control pictures undone. A character the box should never hold shows up
// as a marker, so that a comparison fails on it.
inline QByteArray boxBytes(const QString &box)
{
    QByteArray bytes;
    bytes.reserve(box.size());
    const QString flat = QString(box).remove(QStringLiteral("\r\n"));
    for (QChar c : flat) {
        const int b = byteOfShownChar(c);
        if (b < 0)
            return "<not a shown character: " + QString(c).toUtf8() + ">";
        bytes += char(b);
    }
    return bytes;
}
