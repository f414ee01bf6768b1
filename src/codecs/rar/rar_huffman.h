// Canonical Huffman decoding as RAR 2.0 to 4.x use it: code lengths up to
// 15 bits, codes assigned by length and then by symbol, most significant
// bit first.  Incomplete or over-full tables still decode to some symbol of
// the table (never out of range), as the original decoder does.  That rule
// is why this is not lz::PrefixCode, which refuses such tables and reports
// unassigned codes: RAR streams built on them must decode as RAR decodes them.
#pragma once
#include "codecs/lz/msb_bit_reader.h"

#include <array>
#include <cstdint>
#include <vector>

namespace qvo::codecs::rar {

class HuffmanTable {
public:
    static constexpr unsigned kMaxBits = 15;
    static constexpr unsigned kQuickBits = 10;

    // `lengths[i]` is the code length of symbol i (0: unused).
    void build(const uint8_t *lengths, size_t count);
    uint32_t decode(lz::MsbBitReader &in) const;

private:
    std::array<uint32_t, kMaxBits + 1> limit_{};    // left-aligned end of codes of each length
    std::array<uint32_t, kMaxBits + 1> firstIndex_{}; // sorted index of each length's first code
    std::vector<uint16_t> symbols_;                 // symbols sorted by code
    std::vector<uint16_t> quickSymbol_;
    std::vector<uint8_t> quickLength_;
};

} // namespace qvo::codecs::rar
