// Encoder of the -lh1- method: LZ77 over a 4 KiB window (matches of 3 to 60
// bytes) with an adaptive Huffman code for literals and lengths and a fixed
// code for the upper six bits of each match position.
#pragma once
#include "codecs/lha/lha_encode_result.h"

#include <cstddef>
#include <cstdint>

namespace qvo::codecs::lha {

// Encodes `in[0..size)` (size < 4 GiB) to `sink`; stops with NotSmaller as
// soon as the output would pass `limit` bytes.
EncodeResult encodeLh1(const uint8_t *in, size_t size, uint64_t limit, const ByteSink &sink);

} // namespace qvo::codecs::lha
