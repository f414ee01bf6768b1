// Pieces of the checks made before a run starts.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace qvo::convert {

// The working-space check for a batch of `batchKB` (units of 1,000 bytes)
// when `freeBytes` (-1: unknown) may be too little on `drive`: the
// requirement is 3 x batch in bytes, in 64 bits.  Nothing when there is
// room; else the volume and the missing space in KB, digits grouped, for
// the caller to word in its language.
struct SpaceShortfall {
    std::string drive;
    std::string missingKB;
};
std::optional<SpaceShortfall> workingSpaceShortfall(const std::string &drive, int64_t batchKB, int64_t freeBytes);
// For the volume of the working root.
std::optional<SpaceShortfall> workingSpaceShortfall(int64_t batchKB);

// Size of a single-file batch: the source's length in units of 1,000 bytes,
// halves rounded up; nothing when the file does not exist.
std::optional<int64_t> singleFileBatchKB(const std::string &sourcePath);

} // namespace qvo::convert
