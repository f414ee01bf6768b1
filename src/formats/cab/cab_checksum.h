// The CFDATA checksum: 32-bit little-endian words folded with XOR.
#pragma once
#include <cstdint>
#include <span>

namespace qvo::formats::cab {

// Folds `data` into `seed`.  The up to three bytes after the last whole word
// are taken in reverse significance (first byte highest), as readers do.
uint32_t cabChecksum(std::span<const uint8_t> data, uint32_t seed);

// The checksum field of a CFDATA block: the payload first, then the block's
// cbData and cbUncomp fields.
uint32_t dataBlockChecksum(std::span<const uint8_t> payload, uint16_t uncompressedSize);

} // namespace qvo::formats::cab
