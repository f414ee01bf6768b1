// LHA headers found from their raw bytes: the one test both the content
// identification and the LHA reader's self-extractor search use.
//
// A header counts when "-lh?-", "-lz?-" or "-pm?-" sits at its third byte
// and its own check holds: the checksum of levels 0 and 1, the extended
// header chain and CRC of level 2, the fixed fields of level 3.  Stubs of
// self-extractors carry method names in their code; the checks keep those
// out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qvo::identify {

// Headers of level 2 state their size in 16 bits: no header is longer.
inline constexpr size_t kMaxLhaHeader = 64 * 1024;

// "-lh?-", "-lz?-" or "-pm?-" at `at` (five bytes there).
bool lhaMethodAt(std::string_view b, size_t at);
// The level 0 and 1 checksum of the header starting at `at`.
bool lhaChecksumHolds(std::string_view b, size_t at);
// Whether a sound header starts at `at` of `b` (which holds the bytes that
// follow it, up to kMaxLhaHeader of them).
bool lhaHeaderHolds(std::string_view b, size_t at);

// Whether `b` starts as an LHA archive: a sound header, or one of level 2
// whose stated size is off (OS-9's LHA counts two bytes less), which
// lhasa reads all the same.  At the very start, method name and level
// say enough.
bool lhaArchiveStart(std::string_view b);

// Offsets of sound headers in the open file, in file order, at most
// `maxCount` of them, starting within the first `scanLimit` bytes.
std::vector<uint64_t> findLhaHeaders(int fd, uint64_t fileSize, size_t maxCount, uint64_t scanLimit);

// Whether a sound header starts at `offset` of the open file.
bool lhaHeaderAt(int fd, uint64_t offset);

} // namespace qvo::identify
