// -lh3- (LHarc 1.x era): LZ77 over an 8 KiB window, with literals and
// lengths in blocks of static Huffman codes (stored per block, or one
// built-in code for the distances).  lhasa does not decode it.  It reuses
// the byte source, sink and window of the legacy ZIP decoders.
#pragma once
#include "codecs/zip_legacy/zip_legacy_decoder.h"

namespace qvo::codecs::lha {

// Decodes a member that should give `size` bytes; stops after them.
zip::DecodeStatus decodeLh3(zip::ByteSource &in, uint64_t size, zip::ByteSink &out);

} // namespace qvo::codecs::lha
