// Pieces of the checks made before a run starts.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::convert {

// A whole number in the "#,###" pattern: groups of three digits separated
// by ",", and no digits at all for zero.
std::string formatThousands(int64_t value);

// The working-space message for a batch of `batchKB` (units of 1,000
// bytes) when `freeBytes` (-1: unknown) is too little on `drive`; "" when
// there is room.  The requirement is 3 x batch in bytes, in 64 bits.
std::string workingSpaceMessage(const std::string &drive, int64_t batchKB, int64_t freeBytes);

} // namespace qvo::convert
