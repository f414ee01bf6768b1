// CAB folders without compression: each CFDATA payload is the frame itself.
#pragma once
#include "codecs/folder_compressor.h"

namespace qvo::codecs::cab {

std::unique_ptr<FolderCompressor> makeStoredCompressor();

} // namespace qvo::codecs::cab
