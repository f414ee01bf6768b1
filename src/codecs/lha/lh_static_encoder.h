// Encoder of the -lh5-, -lh6- and -lh7- methods: LZ77 over an 8, 32 or
// 64 KiB window, coded in blocks of static Huffman codes.
//
// Stream layout (per block, bits most significant first):
//   16 bits  number of codes in the block (literals + matches), 1..65535
//   "pt" table: the code that codes the literal/length code lengths
//   literal/length ("c") table: 510 code lengths (256 literals, lengths 3..256)
//   position ("p") table: np code lengths
//   the codes; a match code is followed by its position code and extra bits
// A position code p stands for the distance-1 value d: p = 0 for d = 0,
// otherwise p is the bit length of d and the p-1 low bits of d follow.
#pragma once
#include "codecs/lha/lha_encode_result.h"

#include <cstddef>
#include <cstdint>

namespace qvo::codecs::lha {

struct LhStaticParams {
    unsigned dictBits;     // window: 13, 15, 16
    unsigned positionSyms; // np: dictBits + 1
    unsigned positionBits; // bits of the np field: 4 or 5
    // Match search effort.
    unsigned chainDepth;
    unsigned niceLength;
};

extern const LhStaticParams kLh5Params;
extern const LhStaticParams kLh6Params;
extern const LhStaticParams kLh7Params;

// Encodes `in[0..size)` (size < 4 GiB) to `sink`.  Stops with NotSmaller as
// soon as the output would pass `limit` bytes.
EncodeResult encodeLhStatic(const LhStaticParams &params, const uint8_t *in, size_t size,
                            uint64_t limit, const ByteSink &sink);

} // namespace qvo::codecs::lha
