#include "Twips.h"

#include <cmath>

int Twips::px(int twips) const
{
    return int(std::lround(double(twips) * m_dpi / 1440.0));
}

QRect Twips::rect(int left, int top, int width, int height) const
{
    const int l = px(left);
    const int t = px(top);
    return QRect(l, t, px(left + width) - l, px(top + height) - t);
}
