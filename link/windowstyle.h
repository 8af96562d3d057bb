#pragma once
// What every window of the suite shares about its looks: the layout unit
// (15 twips to the pixel) and the dialog font.

#include <QFont>
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

// The windows are laid out for a narrow 8-point dialog font; a condensed sans
// serif that holds Cyrillic keeps every caption inside its control. The size
// is in pixels (8 points are 10 pixels), like every position of the windows,
// so that a screen of another resolution cannot make a caption outgrow its
// control.
inline QFont windowFont(double points = 8)
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    f.setStretch(QFont::SemiCondensed);
    f.setPixelSize(int(std::lround(points * 10.0 / 8.0)));
    return f;
}

} // namespace instrument
