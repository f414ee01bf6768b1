#include "platform/local_time.h"

#include <ctime>

namespace qvo::platform {

std::optional<int64_t> dosTimeToUnix(uint32_t dosTime)
{
    std::tm tm{};
    tm.tm_year = static_cast<int>((dosTime >> 25) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((dosTime >> 21) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>((dosTime >> 16) & 0x1F);
    tm.tm_hour = static_cast<int>((dosTime >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((dosTime >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>((dosTime & 0x1F) * 2);
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1)
        return std::nullopt;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<int64_t>(t);
}

} // namespace qvo::platform
