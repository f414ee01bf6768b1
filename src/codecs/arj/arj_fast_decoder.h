// ARJ method 4 ("fastest"): LZ77 with no Huffman stage.  A match length
// and a distance each come as a unary count of extra bit groups followed by
// that many bits; length 0 announces an eight-bit literal.
#pragma once
#include "base/byte_stream.h"

namespace qvo::codecs::arj {

// Decodes packed data that should give `size` bytes; stops after them.
base::DecodeStatus decodeArjFast(base::ByteSource &in, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::arj
