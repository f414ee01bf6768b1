// The standard RAR 3 filters.  RAR 3 ships filter programs for a virtual
// machine; every archiver only ever wrote a handful of fixed programs, which
// are recognised by length and CRC32 and run as native code.  Any other
// program is refused.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvo::codecs::rar {

enum class FilterKind { Unknown, E8, E8E9, Itanium, Delta, Rgb, Audio };

// Identifies a filter program by its bytes.
FilterKind identifyFilter(const uint8_t *code, size_t size);

// Memory the filters work in, as large as the virtual machine's.
inline constexpr size_t kFilterMemory = 0x40000;

// Runs `kind` over `memory` (kFilterMemory + 4 bytes) holding the block
// in its first `registers[4]` bytes.  On success sets the filtered data's
// place in `memory`.  False when the parameters are out of range.
bool runFilter(FilterKind kind, const std::array<uint32_t, 7> &registers, std::vector<uint8_t> &memory,
               size_t &outOffset, size_t &outSize);

} // namespace qvo::codecs::rar
