#pragma once

#include "ReadRateFigures.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// The read-rate test's histogram as a picture, for a report someone would
// rather look at than read: a bar per bin of the trigger-to-data times,
// its count above it, and the test's figures as a heading.
class ReadRateChart
{
public:
    static constexpr int Width = 800;
    static constexpr int Height = 450;

    static QImage image(const ReadRateFigures &figures, const QString &setting);
    // The image as a PNG file's bytes.
    static QByteArray png(const ReadRateFigures &figures, const QString &setting);
};
