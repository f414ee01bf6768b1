// ARJ reader: our own decoders for methods 0 to 4, every member handed to
// the sink.  Reads archives behind a self-extractor's program and sets of
// volumes ("x.arj", "x.a01", ...: see arj_volumes.h), joining members split
// across them.  Encrypted (garbled) members are refused as kErrEncrypted;
// volume and chapter labels are no members.  In a chapter archive, the
// members of the last chapter are read, as ARJ extracts by default.
#pragma once
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::formats::arj {

// `chosenCharset`: the encoding the user named for member names, or empty
// to guess it from them (DOS code pages first; UTF-8 from Unix hosts).
int32_t readArjArchive(const std::filesystem::path &archive, const std::string &chosenCharset,
                       extract::ExtractSink &sink);

} // namespace qvo::formats::arj
