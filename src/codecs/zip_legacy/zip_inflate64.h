// Deflate64 ("enhanced deflate", method 9): Deflate with a 64 KiB window,
// length code 285 carrying 16 extra bits (lengths 3 to 65538) and
// distance codes 30 and 31.
#pragma once
#include "codecs/zip_legacy/zip_legacy_decoder.h"

namespace qvo::codecs::zip_legacy {

base::DecodeStatus inflate64(base::ByteSource &in, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::zip_legacy
