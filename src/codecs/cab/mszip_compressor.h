// MSZIP folders: every CFDATA payload is "CK" and one complete raw deflate
// stream of the frame, which may refer back into the previous frame's data.
//
// The previous 32 KiB of input are all a frame depends on, so the frames
// handed to compressFrames() are compressed on several threads at once, each
// with its predecessor as preset dictionary.
#pragma once
#include "codecs/cab/folder_compressor.h"

namespace qvo::codecs::cab {

// zlib's level 6 balances speed and size as the usual MSZIP writers do.
constexpr int kMszipDefaultLevel = 6;

// `threads` 0 uses every processor.
std::unique_ptr<FolderCompressor> makeMszipCompressor(int level = kMszipDefaultLevel,
                                                      unsigned threads = 0);

} // namespace qvo::codecs::cab
