// Reduce (methods 2 to 5, PKZIP 0.9): bytes coded against follower sets
// (the likely successors of the previous byte), then a DLE-escaped LZ77
// pass whose length/distance split depends on the compression factor
// (method - 1).
#pragma once
#include "codecs/zip_legacy/zip_legacy_decoder.h"

namespace qvo::codecs::zip_legacy {

base::DecodeStatus unreduce(base::ByteSource &in, unsigned factor, uint64_t size, base::ByteSink &out);

} // namespace qvo::codecs::zip_legacy
