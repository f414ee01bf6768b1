// Implode (method 6, PKZIP 1.x): LZ77 over a 4 or 8 KiB window with
// Shannon-Fano coded lengths and distance high bits, and optionally coded
// literals.  Flag bit 1 selects the 8 KiB window, bit 2 the literal tree.
#pragma once
#include "codecs/zip_legacy/zip_legacy_decoder.h"

namespace qvo::codecs::zip_legacy {

base::DecodeStatus explode(base::ByteSource &in, uint16_t flags, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::zip_legacy
