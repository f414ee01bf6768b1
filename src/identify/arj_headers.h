// ARJ headers found from their raw bytes: the one test both the content
// identification and the ARJ reader use, also to find an archive behind a
// self-extractor's program.
//
// Every header starts with the id 0x60 0xEA and the size of its basic
// part, at most 2,600 bytes, which a CRC-32 follows.  Programs hold the two
// id bytes by chance; the size and the CRC keep those out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qvo::identify {

inline constexpr size_t kArjMinBasicHeader = 30; // the fixed fields
inline constexpr size_t kArjMaxBasicHeader = 2600;
// Id, size, basic part and its CRC: the most bytes a basic header takes.
inline constexpr size_t kArjMaxHeaderBytes = 4 + kArjMaxBasicHeader + 4;

// Whether a sound header starts at `at` of `b`: the id, a size within
// the limits, all of it inside `b`, and the CRC of its basic part.
bool arjHeaderHolds(std::string_view b, size_t at);

// Whether the sound header at `at` is a main header, which opens an
// archive (file type 2).
bool arjMainHeaderAt(std::string_view b, size_t at);

// Whether the archive whose main header is at `at` starts with the rest of
// a member from the volume before it: a later volume of a set.
bool arjContinuesVolume(std::string_view b, size_t at);

// Offset of the first main header in the open file that starts within its
// first `scanLimit` bytes; nullopt when there is none.
std::optional<uint64_t> findArjArchive(int fd, uint64_t fileSize, uint64_t scanLimit);

} // namespace qvo::identify
