#include "ui/conversion_start.h"

#include "ui/frmProgress.h"
#include "core/globals.h"
#include "ui/prompts.h"

#include <QCoreApplication>

namespace qvo::ui {

std::string workingSpaceShortageMessage(const convert::SpaceShortfall &shortfall)
{
    return QCoreApplication::translate("Messages", "%1 の空き容量が不足しています。変換を行うことができません\r\n"
                                                   "あと %2 KBの空き容量が必要です")
        .arg(QString::fromStdString(shortfall.drive), QString::fromStdString(shortfall.missingKB))
        .toStdString();
}

bool startConversion(convert::ConversionRows *rows, const ListSizeKB &listSizeKB)
{
    if (!core::appSettings || !core::archiveCtrl)
        return false;
    const std::optional<int64_t> batch = conversionBatchKB(*core::appSettings, listSizeKB);
    if (!batch) {
        showMessage(nullptr, convert::kSourceMissingMessage);
        return false;
    }
    if (const std::optional<convert::SpaceShortfall> shortfall = convert::workingSpaceShortfall(*batch)) {
        showMessage(nullptr, workingSpaceShortageMessage(*shortfall));
        return false;
    }
    ui::frmProgress::showModal(*core::appSettings, *core::archiveCtrl, rows);
    return true;
}

} // namespace qvo::ui
