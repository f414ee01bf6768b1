// Canonical prefix codes read bit by bit, for Implode's Shannon-Fano trees
// and Deflate64's Huffman codes.  Decoding walks the code lengths one bit
// at a time: slower than a lookup table, but small, and the members that
// use these methods are few and old.
#pragma once
#include "codecs/zip/zip_bit_input.h"

#include <array>
#include <cstdint>

namespace qvo::codecs::zip {

class PrefixCode {
public:
    static constexpr unsigned kMaxBits = 16;
    static constexpr size_t kMaxSymbols = 320;

    // Builds the code from one length per symbol (0: unused).  With
    // `requireComplete`, a code that leaves bit patterns unused is refused;
    // an over-subscribed code is always refused.  A code with a single
    // symbol is allowed (Deflate writes such distance codes).
    bool build(const uint8_t *lengths, size_t n, bool requireComplete);

    // The next symbol, or -1 for a bit pattern no symbol has.  Implode
    // stores its codes with every bit inverted (`inverted`).
    int decode(BitInput &in, bool inverted = false) const;

private:
    std::array<uint16_t, kMaxBits + 1> count_{};
    std::array<uint16_t, kMaxSymbols> symbols_{};
};

} // namespace qvo::codecs::zip
