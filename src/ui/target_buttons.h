// The target-format option buttons both main windows show: one per row of
// the target table, in format-index order.
#pragma once
#include "backends/target_formats.h"

#include <QString>

#include <array>
#include <cstdint>

class QButtonGroup;
class QRadioButton;
class QRect;
class QWidget;

namespace qvo::ui {

using TargetButtons = std::array<QRadioButton *, backends::targetFormats().size()>;

// "LHA形式 (*.lzh)", in the interface's language.
QString targetButtonText(const backends::TargetFormat &format);

// The buttons on `parent`, the first at `first` and each further one 24
// pixels lower, in `group` with their format index as id; the first is
// chosen.
TargetButtons addTargetButtons(QWidget *parent, QButtonGroup *group, const QRect &first);

// Only the formats whose back-end found its library can be chosen.
void enableUsableTargets(const TargetButtons &buttons);

// Chooses the button of format index `index`; an index that names no
// format leaves none chosen, and converting then finds the target
// unusable.
void chooseTarget(const TargetButtons &buttons, QButtonGroup *group, int32_t index);

// Whether `index` names a format whose button can be chosen.
bool targetUsable(const TargetButtons &buttons, int32_t index);

} // namespace qvo::ui
