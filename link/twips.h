#pragma once
// The layout unit of the suite's windows: 15 twips to the pixel. The link's
// own status window is laid out in it, so it lives here; the window kit in
// ui/ builds its looks on it.

#include <QPoint>
#include <QRect>
#include <cmath>

namespace instrument {

// Twips to pixels.
inline int twips(int t)
{
    return int(std::lround(t / 15.0));
}

// A control's rectangle from left, top, width and height in twips. The edges
// are converted, not the sizes, so neighbouring controls stay flush.
inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(QPoint(twips(left), twips(top)), QPoint(twips(left + width) - 1, twips(top + height) - 1));
}

} // namespace instrument
