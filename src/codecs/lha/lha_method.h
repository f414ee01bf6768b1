// The methods we write, by their header identifiers.
#pragma once
#include "codecs/lha/lha_encode_result.h"

#include <cstddef>
#include <cstdint>

namespace qvo::codecs::lha {

enum class LhaMethod { Lh0, Lh1, Lh5, Lh6, Lh7 };

// "-lh0-" etc. (five characters, no terminator needed).
const char *lhaMethodId(LhaMethod m);

// Compresses `in` with `m` (not Lh0).  The result must be smaller than the
// input to be worth keeping, so the encoder stops at size - 1 bytes.
EncodeResult encodeLhaMember(LhaMethod m, const uint8_t *in, size_t size, const ByteSink &sink);

} // namespace qvo::codecs::lha
