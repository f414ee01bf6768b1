// The program's pictures, drawn here rather than loaded: the icon (two
// overlapping pages outlined in dark blue) and the about window's hidden
// picture.
#pragma once
#include <QIcon>
#include <QPixmap>

namespace qvo::ui {

// The icon at 16 and 32 pixels (and larger sizes drawn on demand); the
// application's window icon.
QIcon programIcon();

// One size of the icon, transparent around the pages.
QPixmap programIconPixmap(int size);

// The 380 x 200 picture hidden in the about window, drawn with `ratio`
// device pixels to a pixel so that a denser screen shows it sharp.
QPixmap hiddenPicture(qreal ratio = 1.0);

} // namespace qvo::ui
