// MSZIP: every frame's payload is "CK" and one complete raw deflate
// stream of the frame, which may refer back into the previous frame's data.
//
// The previous 32 KiB of input are all a frame can depend on, so the frames
// handed to compressFrames() are compressed on several threads at once.
#pragma once
#include "codecs/frame_compressor.h"

namespace qvo::codecs::deflate {

struct MszipOptions {
    // Chained frames start from the previous frame as preset dictionary
    // (zlib).  Independent frames use libdeflate, which has no dictionary
    // support.  On a mixed tree of 20 MB, against gcab's 8.97 MB (zlib level
    // 6, independent frames, 0.69 s of processor time):
    //   chained level 4     8.76 MB  0.36 s
    //   chained level 6     8.58 MB  0.60 s
    //   independent level 6 8.93 MB  0.25 s
    // Chained level 4 stays clearly smaller than gcab at half its work.
    bool chained = true;
    int level = 4;
    unsigned threads = 0; // 0: one per processor
};

std::unique_ptr<FrameCompressor> makeMszipCompressor(const MszipOptions &options = {});

} // namespace qvo::codecs::deflate
