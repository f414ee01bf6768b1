// Pieces of the checks made before a run starts.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace qvo::convert {

// A whole number in the "#,###" pattern: groups of three digits separated
// by ",", and no digits at all for zero.
std::string formatThousands(int64_t value);

// The working-space message for a batch of `batchKB` (units of 1,000
// bytes) when `freeBytes` (-1: unknown) is too little on `drive`; "" when
// there is room.  The requirement is 3 x batch in bytes, in 64 bits.
std::string workingSpaceMessage(const std::string &drive, int64_t batchKB, int64_t freeBytes);

// The same check, for callers that word the message in another language:
// the volume and the missing space in KB, already in the "#,###" pattern.
struct SpaceShortfall {
    std::string drive;
    std::string missingKB;
};
std::optional<SpaceShortfall> workingSpaceShortfall(const std::string &drive, int64_t batchKB, int64_t freeBytes);
// For the volume of the working root.
std::optional<SpaceShortfall> workingSpaceShortfall(int64_t batchKB);

} // namespace qvo::convert
