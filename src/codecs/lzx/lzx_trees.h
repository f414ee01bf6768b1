// Writing the code lengths of a main or length tree: each length is sent as
// its difference (mod 17) from the same symbol's length in the previous
// tree, through a pre-tree of 20 symbols with run codes for zeros and for
// repeated lengths.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/lzx/lzx_bitwriter.h"

namespace qvo::codecs::lzx {

struct PreTreeToken {
    uint8_t symbol; // 0..16 delta, 17/18 zero runs, 19 same-length run
    uint8_t extra;  // run length bits for 17..19
    uint8_t delta;  // for 19: the delta symbol that follows
};

// Tokens that turn `previous` into `current`.
std::vector<PreTreeToken> preTreeTokens(std::span<const uint8_t> previous, std::span<const uint8_t> current);

// Writes a pre-tree and its tokens; returns the number of bits written.
// With `out` null, only counts.
uint64_t writeLengths(const std::vector<PreTreeToken> &tokens, BitWriter *out);

} // namespace qvo::codecs::lzx
