// Canonical prefix codes for Implode's Shannon-Fano trees, Deflate64's
// Huffman codes (LSB-first streams) and the static codes of LHA's -lh3-
// and ARJ's methods 1 to 3 (MSB-first).  A code that is over-subscribed
// (or, when asked, incomplete) is refused, and a bit pattern no symbol has
// decodes to -1.  Short codes come from a table indexed by the next bits
// in the stream's order; the rest walks the code lengths one bit at a
// time: slower, but small, and the members that use these methods are few
// and old.
#pragma once
#include "codecs/lz/msb_bit_reader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace qvo::codecs::lz {

class LsbBitReader;

enum class BitOrder { LsbFirst, MsbFirst };

template <BitOrder kOrder>
class PrefixCode {
public:
    using Reader = std::conditional_t<kOrder == BitOrder::LsbFirst, LsbBitReader, MsbBitReader>;

    static constexpr unsigned kMaxBits = 16;
    static constexpr size_t kMaxSymbols = 512; // ARJ's literal/length code has 510

    // Builds the code from one length per symbol (0: unused).  With
    // `requireComplete`, a code that leaves bit patterns unused is refused;
    // an over-subscribed code is always refused.  A code with a single
    // symbol is allowed (Deflate writes such distance codes).
    bool build(const uint8_t *lengths, size_t n, bool requireComplete);

    // The next symbol, or -1 for a bit pattern no symbol has; the first
    // bit read is the code's top bit.  Implode stores its codes with every
    // bit inverted (`inverted`).
    int decode(Reader &in, bool inverted = false) const
    {
        uint32_t v;
        if constexpr (kOrder == BitOrder::LsbFirst)
            v = in.peek(kTableBits);
        else
            v = in.peek16() >> (16 - kTableBits);
        TableEntry e = table_[v ^ (inverted ? kTableMask : 0u)];
        if (e.length != 0) {
            in.skip(e.length);
            return e.symbol;
        }
        int32_t code = 0;  // bits read so far
        int32_t first = 0; // first code of the current length
        int32_t index = 0; // symbols of the shorter lengths
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            code |= static_cast<int32_t>(in.bit() ^ (inverted ? 1u : 0u));
            int32_t count = count_[len];
            if (code - first < count)
                return symbols_[static_cast<size_t>(index + (code - first))];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    // Codes up to kTableBits long, indexed by the next kTableBits stream
    // bits (the first bit lowest for LSB-first streams, highest for
    // MSB-first ones); length 0 marks longer codes.
    static constexpr unsigned kTableBits = 9;
    static constexpr uint32_t kTableMask = (1u << kTableBits) - 1;
    struct TableEntry {
        uint16_t symbol = 0;
        uint8_t length = 0;
    };

    std::array<TableEntry, 1u << kTableBits> table_{};
    std::array<uint16_t, kMaxBits + 1> count_{};
    std::array<uint16_t, kMaxSymbols> symbols_{};
};

using LsbPrefixCode = PrefixCode<BitOrder::LsbFirst>;
using MsbPrefixCode = PrefixCode<BitOrder::MsbFirst>;

// The code of one block of LHA's and ARJ's static-Huffman methods: a prefix
// code, or the one symbol the block uses, which takes no bits at all.
struct MsbBlockCode {
    MsbPrefixCode code;
    int single = -1;

    int decode(MsbBitReader &in) const { return single >= 0 ? single : code.decode(in); }
};

// The count of symbols that opens each block of those methods: 16 bits,
// where 0 stands for 65,536.
inline uint32_t readBlockSymbolCount(MsbBitReader &in)
{
    const uint32_t count = in.bits(16);
    return count == 0 ? 0x10000 : count;
}

} // namespace qvo::codecs::lz
