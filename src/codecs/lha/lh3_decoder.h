// -lh3- (LHarc 1.x era): LZ77 over an 8 KiB window, with literals and
// lengths in blocks of static Huffman codes (stored per block, or one
// built-in code for the distances).  lhasa does not decode it.
#pragma once
#include "base/byte_stream.h"

namespace qvo::codecs::lha {

// Decodes a member that should give `size` bytes; stops after them.
base::DecodeStatus decodeLh3(base::ByteSource &in, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::lha
