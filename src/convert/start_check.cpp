#include "convert/start_check.h"

#include "base/digit_groups.h"
#include "platform/file_status.h"
#include "platform/path_helpers.h"

#include <limits>

namespace qvo::convert {

std::optional<SpaceShortfall> workingSpaceShortfall(const std::string &drive, int64_t batchKB, int64_t freeBytes)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const int64_t batch = batchKB < 0 ? 0 : batchKB;
    // 3 x 1,000 bytes per KB; a batch beyond what 64 bits hold needs more
    // than any volume has.
    const int64_t required = batch > kMax / 3000 ? kMax : batch * 3000;
    if (freeBytes >= 0 && freeBytes >= required)
        return std::nullopt;
    const int64_t available = freeBytes < 0 ? 0 : freeBytes;
    // Shortfall in KB (3 x batch - free / 1000), rounded to a whole number
    // with halves away from zero.
    const int64_t missing = required - available;
    const int64_t shortfall = missing / 1000 + (missing % 1000 >= 500 ? 1 : 0);
    return SpaceShortfall{drive, base::groupedDigits(shortfall)};
}

std::optional<SpaceShortfall> workingSpaceShortfall(int64_t batchKB)
{
    const std::string root = platform::getTempFolderName();
    return workingSpaceShortfall(platform::getDriveName(root), batchKB, platform::getDiskFreeSpace(root));
}

std::optional<int64_t> singleFileBatchKB(const std::string &sourcePath)
{
    const int64_t length = platform::regularFileLength(sourcePath);
    if (length < 0)
        return std::nullopt;
    return (length + 500) / 1000;
}

} // namespace qvo::convert
