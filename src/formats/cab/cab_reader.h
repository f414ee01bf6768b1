// CAB reader: decodes every file with libmspack (MSZIP, LZX, Quantum,
// stored) and hands it to the sink.  Cabinet sets are followed through the
// previous/next cabinet names when those files lie in the same folder.
#pragma once
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::formats::cab {

// `chosenCharset`: the encoding the user named for names without the
// UTF-8 attribute, or empty to guess it from them.
int32_t readCabArchive(const std::filesystem::path &archive, const std::string &chosenCharset,
                       extract::ExtractSink &sink);

} // namespace qvo::formats::cab
