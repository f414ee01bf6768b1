// Length-limited canonical Huffman codes for the LZX trees.
#pragma once
#include <cstdint>
#include <span>

namespace qvo::codecs::lz {

// Fills `lengths` with code lengths for `freqs`, none above `maxLen`.  The
// code is always complete, as every decoder requires: an unused alphabet
// gets all zeros, a single used symbol gets a partner of the same length.
void buildCodeLengths(std::span<const uint32_t> freqs, unsigned maxLen, std::span<uint8_t> lengths);

// Canonical codes (shorter codes first, then by symbol) for `lengths`.
void buildCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes);

} // namespace qvo::codecs::lz
