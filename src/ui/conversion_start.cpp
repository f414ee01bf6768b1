#include "ui/conversion_start.h"

#include "convert/frmProgress.h"
#include "core/globals.h"
#include "ui/message_box.h"

namespace qvo::ui {

bool startConversion(convert::ConversionRows *rows, const ListSizeKB &listSizeKB)
{
    if (!core::appSettings || !core::archiveCtrl)
        return false;
    const std::optional<int64_t> batch = conversionBatchKB(*core::appSettings, listSizeKB);
    if (!batch) {
        showMessage(QString::fromUtf8(kSourceMissingMessage));
        return false;
    }
    const std::string shortage = convert::workingSpaceShortage(*batch);
    if (!shortage.empty()) {
        showMessage(QString::fromStdString(shortage));
        return false;
    }
    convert::frmProgress::showModal(*core::appSettings, *core::archiveCtrl, rows);
    return true;
}

} // namespace qvo::ui
