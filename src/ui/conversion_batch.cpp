#include "ui/conversion_start.h"

#include <filesystem>

namespace qvo::ui {

std::optional<int64_t> conversionBatchKB(const settings::clsQvoSettings &settings, const ListSizeKB &listSizeKB)
{
    if (settings.mode == 1)
        return listSizeKB ? std::max<int64_t>(listSizeKB(), 0) : 0;
    // The source may have gone since the window checked it.
    std::error_code ec;
    const std::filesystem::path source(settings.singleBeforeFileName);
    if (settings.singleBeforeFileName.empty() || !std::filesystem::is_regular_file(source, ec))
        return std::nullopt;
    const uintmax_t bytes = std::filesystem::file_size(source, ec);
    if (ec)
        return std::nullopt;
    return int64_t((bytes + 500) / 1000);
}

} // namespace qvo::ui
