// Wall-clock times of this machine's time zone, as DOS and the archivers
// born there stored them.
#pragma once
#include <cstdint>
#include <optional>

namespace qvo::platform {

// Seconds since 1970 (UTC) for an MS-DOS date and time (date in the high
// 16 bits) read as local wall-clock time; nullopt for a month or day that
// does not exist.
std::optional<int64_t> dosTimeToUnix(uint32_t dosTime);

} // namespace qvo::platform
