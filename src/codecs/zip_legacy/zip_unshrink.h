// Shrink (method 1, PKZIP 0.9 to 1.x): LZW with 9- to 13-bit codes, where
// code 256 escapes two controls: 1 widens the codes by one bit, 2 frees
// every code that is no other code's prefix ("partial clear").  Freed
// codes are reused lowest first.
#pragma once
#include "codecs/zip_legacy/zip_legacy_decoder.h"

namespace qvo::codecs::zip_legacy {

base::DecodeStatus unshrink(base::ByteSource &in, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::zip_legacy
