// CAB folders without compression: each CFDATA payload is the frame itself.
#pragma once
#include "codecs/frame_compressor.h"

namespace qvo::formats::cab {

std::unique_ptr<codecs::FrameCompressor> makeStoredCompressor();

} // namespace qvo::formats::cab
