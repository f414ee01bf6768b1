// ARJ's compression methods behind one call, as the reader meets them in a
// header: 0 stored, 1 to 3 LZ77 with static Huffman codes (one format: the
// three differ only in how hard the packer looked for matches), and 4, the
// fast method with its own length and position coding.
#pragma once
#include "base/byte_stream.h"

#include <cstdint>

namespace qvo::codecs::arj {

inline constexpr uint8_t kMethodStored = 0;
inline constexpr uint8_t kMethodFast = 4;

// Decodes data packed with `method` that should give `size` bytes (a
// member, or one volume's part of it: each part is packed on its own).
// Never hands more than `size` bytes to `out`; Unsupported for a method
// above 4.
base::DecodeStatus decodeArj(uint8_t method, base::ByteSource &in, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::arj
