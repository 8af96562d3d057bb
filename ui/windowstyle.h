#pragma once
// What every window of the suite shares about its looks: the layout unit
// (15 twips to the pixel, from the link, whose status window is laid out in
// it too) and the dialog font.

#include "twips.h"

#include <QFont>
#include <cmath>

namespace instrument {

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
