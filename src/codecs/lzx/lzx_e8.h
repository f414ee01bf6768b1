// E8 call translation, the encoder's half: relative CALL targets become
// absolute ones so that calls to one function look alike.  The decoders
// undo it per frame after decompression.
#pragma once
#include <cstdint>
#include <span>

namespace qvo::codecs::lzx {

// Translates one frame in place.  `frameOffset` is the frame's position in
// the folder's uncompressed stream; `frameIndex` its number.  Frames from
// 1 GiB on, frames of 10 bytes or fewer, and the last 10 bytes of any frame
// are left alone, as the decoders expect.
void e8Encode(std::span<uint8_t> frame, uint64_t frameOffset, uint64_t frameIndex, int32_t translationSize);

} // namespace qvo::codecs::lzx
