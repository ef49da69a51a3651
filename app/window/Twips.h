#pragma once

#include <QRect>

// The bench layout was drawn in twips: 1440 to the inch, 15 to a pixel at
// 96 dpi. Positions follow the screen's logical dpi, as they did on the
// operators' former system, so that a larger font setting (QT_FONT_DPI, a
// desktop's scaling) enlarges the whole window in proportion. Edges are
// rounded, not sizes, so that controls that meet in twips meet in pixels.
class Twips
{
public:
    explicit Twips(int dpi) : m_dpi(dpi > 0 ? dpi : 96) {}

    int px(int twips) const;
    QRect rect(int left, int top, int width, int height) const;

private:
    int m_dpi;
};
