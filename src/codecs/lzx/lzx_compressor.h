// LZX compression (the LZX of cabinets), frame by frame, with windows of
// 2^15 to 2^21 bytes.
#pragma once
#include <cstdint>
#include <memory>

#include "codecs/frame_compressor.h"

namespace qvo::codecs::lzx {

struct LzxOptions {
    bool e8Translation = true;     // x86 CALL translation header and filter
    bool allowUncompressed = true; // stored blocks where they come out smaller
    bool allowAligned = true;      // aligned-offset blocks where they come out smaller
    unsigned searchDepth = 0;      // binary-tree nodes visited per position; 0 = default
    unsigned niceLength = 0;       // match length that ends the search; 0 = default
};

// Uncompressed bytes one LZX stream should hold at most.  The decoders undo
// E8 translation in the first 1 GiB only (libmspack, 7-Zip) or everywhere
// (libarchive); a stream that stays below it reads the same in all of them.
constexpr uint64_t kLzxStreamLimit = uint64_t(1) << 30;

// A compressor for one stream with a window of 2^windowBits bytes, or null
// when windowBits lies outside 15..21.
std::unique_ptr<codecs::FrameCompressor> makeLzxCompressor(int windowBits);
std::unique_ptr<codecs::FrameCompressor> makeLzxCompressor(int windowBits, const LzxOptions &options);

} // namespace qvo::codecs::lzx
