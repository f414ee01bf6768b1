// Static Huffman codes as the LHA formats store them: code lengths limited
// to 16 bits, codes assigned canonically (shorter codes first, equal lengths
// in symbol order), sent most significant bit first.
#pragma once
#include <cstdint>

namespace qvo::codecs::lha {

constexpr unsigned kMaxCodeLength = 16;

// Fills `lengths[0..n)` from `freqs`: 0 for unused symbols, otherwise at
// most `maxLength` bits, forming a complete code.  Returns the number of
// used symbols; with fewer than two, no code is built (all lengths 0) and
// the caller sends the single symbol in the formats' "one code" form.
unsigned buildCodeLengths(const uint32_t *freqs, unsigned n, unsigned maxLength, uint8_t *lengths);

// Canonical codes for `lengths[0..n)`.
void buildCanonicalCodes(const uint8_t *lengths, unsigned n, uint16_t *codes);

} // namespace qvo::codecs::lha
