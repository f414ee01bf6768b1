// Our own ZIP reader, for archives with members in methods libarchive does
// not decode (Shrink, Reduce, Implode, Deflate64).  It walks the central
// directory, finds each member's data behind its local header, decodes it
// (stored, Deflate through zlib, the rest through codecs/zip), checks size
// and CRC-32, and hands it to the sink with the names, times and modes the
// libarchive path would give.
#pragma once
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::formats::zip {

// `chosenCharset`: the encoding the user named for unmarked names, or
// empty to guess it from them.
int32_t readZipWithOwnDecoders(const std::filesystem::path &archive, const std::string &chosenCharset,
                               extract::ExtractSink &sink);

} // namespace qvo::formats::zip
