// ARJ methods 1 to 3: LZ77 whose literals, match lengths and distance
// classes are sent in blocks of static Huffman codes, the scheme LHA's
// -lh5- to -lh7- also use, with ARJ's alphabet sizes.
#pragma once
#include "base/byte_stream.h"

namespace qvo::codecs::arj {

// Decodes packed data that should give `size` bytes; stops after them.
base::DecodeStatus decodeArjHuffman(base::ByteSource &in, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::arj
