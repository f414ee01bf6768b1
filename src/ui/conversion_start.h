// The one entry of a conversion, shared by both main windows after their
// own checks: the volume of the working root must have three times the
// batch free, then the run takes place in the modal progress window.
#pragma once
#include "convert/conversion_engine.h"
#include "convert/start_check.h"
#include "settings/clsQvoSettings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qvo::ui {

// The total of the multiple-file list in units of 1,000 bytes.
using ListSizeKB = std::function<int64_t()>;

// The batch in units of 1,000 bytes: the list's total in multiple-file mode
// (mode 1), else the size of the single-file source rounded to whole units
// (1,499 bytes count as 1, 1,500 as 2); nothing when that source cannot be
// read.
std::optional<int64_t> conversionBatchKB(const settings::clsQvoSettings &settings, const ListSizeKB &listSizeKB);

// Checks the working space and runs the conversion that appSettings names
// (with `rows`, the list, in multiple-file mode) in the modal progress
// window.  In single-file mode the source is measured again here: it may
// have gone since the window's own checks.  Shows a message and returns
// false without running when the source is missing or space is short; true
// after the window has closed.
bool startConversion(convert::ConversionRows *rows, const ListSizeKB &listSizeKB);

// The working-space message in the interface's language.
std::string workingSpaceShortageMessage(const convert::SpaceShortfall &shortfall);

} // namespace qvo::ui
