// -lh2- (LHarc 1.x era): LZ77 over an 8 KiB window, with literals and
// lengths in one adaptive Huffman code and distance high bits in a second
// adaptive code that gains a symbol every 64 bytes of output.  lhasa does
// not decode it.
#pragma once
#include "base/byte_stream.h"

namespace qvo::codecs::lha {

// Decodes a member that should give `size` bytes; stops after them.
base::DecodeStatus decodeLh2(base::ByteSource &in, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::lha
