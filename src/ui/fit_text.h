// The windows keep their fixed layout, made for the narrower fonts of
// another desktop.  A control whose text (in the font the desktop draws it
// with, at the screen's density) needs more room than its place gives is
// widened to the right, as far as its frame allows, and made as tall as its
// text's lines; everything else stays where the layout puts it.
#pragma once

class QWidget;

namespace qvo::ui {

// Grows `control` (a label, push button, check box or option button) to
// its text, its right edge at most at `rightLimit` in its parent.
void fitToText(QWidget *control, int rightLimit);

// fitToText for every such control inside `container`, each limited by the
// inner edge of its own parent.
void fitControlsToText(QWidget *container);

} // namespace qvo::ui
