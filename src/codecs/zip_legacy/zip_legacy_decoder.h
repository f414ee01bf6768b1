// Decoders for the ZIP methods that general libraries leave out: Shrink (1),
// Reduce (2 to 5), Implode (6) and Deflate64 (9).  Each lives in its own
// file behind decodeLegacyMember(); all pull compressed bytes from a
// ByteSource, push decoded bytes to a ByteSink and keep their memory
// bounded (at most a 128 KiB window and fixed tables), whatever the input.
#pragma once
#include "base/byte_stream.h"

#include <cstddef>
#include <cstdint>

namespace qvo::codecs::zip_legacy {

constexpr uint16_t kMethodShrink = 1;
constexpr uint16_t kMethodReduceFirst = 2; // compression factor 1
constexpr uint16_t kMethodReduceLast = 5;  // compression factor 4
constexpr uint16_t kMethodImplode = 6;
constexpr uint16_t kMethodDeflate64 = 9;

// Implode's general-purpose flag bits.
constexpr uint16_t kFlagImplode8kWindow = 0x0002;
constexpr uint16_t kFlagImplodeLiteralTree = 0x0004;

bool isLegacyMethod(uint16_t method);

// Decodes one member that should give `size` bytes.  Methods that do not
// mark their end (Shrink, Reduce, Implode) stop after `size` bytes;
// Deflate64 must end exactly there.
base::DecodeStatus decodeLegacyMember(uint16_t method, uint16_t flags, base::ByteSource &in, uint64_t size,
                                      base::ByteSink &out);

} // namespace qvo::codecs::zip_legacy
