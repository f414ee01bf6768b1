// LHA headers that lhasa does not read, found from their raw bytes.
//
// Self-extractors: lhasa looks for the archive only near the start of a file and stops at
// the first "-lh?-" look-alike, so some self-extractors (ExpLZH's, with
// method names in their own code and the archive past 64 KiB) read as
// empty.  This scan looks further and accepts only headers whose checksum
// (levels 0 and 1) or CRC (level 2) holds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvo::archivers {

// Offsets of headers that pass the checks, in file order, at most
// `maxCount` of them, from the first `scanLimit` bytes.
std::vector<uint64_t> findLhaHeaders(int fd, uint64_t fileSize, size_t maxCount, uint64_t scanLimit);

// The size of the level-0 header at `offset` when it is a folder entry
// ("-lhd-", no data) with an empty name, which lhasa refuses; 0 for
// anything else.  Its checksum must hold.
uint64_t namelessFolderHeaderSize(int fd, uint64_t offset);

} // namespace qvo::archivers
