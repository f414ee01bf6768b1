#include "ui/conversion_start.h"

namespace qvo::ui {

std::optional<int64_t> conversionBatchKB(const settings::clsQvoSettings &settings, const ListSizeKB &listSizeKB)
{
    if (settings.mode == 1)
        return listSizeKB ? std::max<int64_t>(listSizeKB(), 0) : 0;
    // The source may have gone since the window checked it.
    return convert::singleFileBatchKB(settings.singleBeforeFileName);
}

} // namespace qvo::ui
