// The four 16 x 16 images of the multiple-file window's toolbar.
#pragma once
#include <QIcon>
#include <QPixmap>

namespace qvo::ui {

enum class ToolbarImage {
    openFolder = 1, // an open yellow folder with a curved arrow
    cross = 2,      // a black cross
    convert = 3,    // a red arrow from a small orange square to a blue one
    window = 4,     // a small window with lines of text
};

// The image drawn for a screen of `ratio` device pixels per pixel (16 x 16
// pixels, 16 * ratio device pixels a side).
QPixmap toolbarImage(ToolbarImage image, qreal ratio = 1);

// The image drawn at the usual screen densities, so that a dense screen
// gets it drawn for its pixels rather than enlarged.
QIcon toolbarIcon(ToolbarImage image);

} // namespace qvo::ui
