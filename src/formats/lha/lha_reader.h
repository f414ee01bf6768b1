// LHA reader: decodes every member with lhasa and hands it to the sink.
#pragma once
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::formats::lha {

// `chosenCharset`: the encoding the user named for names without Unicode
// or code-page headers, or empty to guess it from all of them first.
int32_t readLhaArchive(const std::filesystem::path &archive, const std::string &chosenCharset,
                       extract::ExtractSink &sink);

} // namespace qvo::formats::lha
