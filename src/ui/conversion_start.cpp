#include "ui/conversion_start.h"

#include "ui/frmProgress.h"
#include "core/globals.h"
#include "ui/prompts.h"

namespace qvo::ui {

bool startConversion(convert::ConversionRows *rows, const ListSizeKB &listSizeKB)
{
    if (!core::appSettings || !core::archiveCtrl)
        return false;
    const std::optional<int64_t> batch = conversionBatchKB(*core::appSettings, listSizeKB);
    if (!batch) {
        showMessage(nullptr, convert::kSourceMissingMessage);
        return false;
    }
    const std::string shortage = convert::workingSpaceShortage(*batch);
    if (!shortage.empty()) {
        showMessage(nullptr, shortage);
        return false;
    }
    ui::frmProgress::showModal(*core::appSettings, *core::archiveCtrl, rows);
    return true;
}

} // namespace qvo::ui
