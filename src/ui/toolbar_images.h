// The four 16 x 16 images of the multiple-file window's toolbar.
#pragma once
#include <QPixmap>

namespace qvo::ui {

enum class ToolbarImage {
    openFolder = 1, // an open yellow folder with a curved arrow
    cross = 2,      // a black cross
    convert = 3,    // a red arrow from a small orange square to a blue one
    window = 4,     // a small window with lines of text
};

QPixmap toolbarImage(ToolbarImage image);

} // namespace qvo::ui
