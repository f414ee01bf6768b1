// Our reader for RAR 1.5 to 4.x archives, single files and volume sets,
// solid or not.  Every member goes through the extraction sink.
#pragma once
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::formats::rar {

// Whether `archive` is a RAR 1.5-4.x archive (also behind a self-extractor
// stub, also damaged or with encrypted headers) whose members, as far as the
// first volume tells, all use methods this reader decodes.
bool rar4ReaderHandles(const std::filesystem::path &archive);

// Extracts every member into `sink`; returns kOk or the first failure found
// outside the members (the sink keeps the members' own failures).
// `chosenCharset`: the encoding the user named for names that are not
// Unicode, or empty to guess it from those of the first volume.
int32_t readRar4(const std::filesystem::path &archive, const std::string &chosenCharset, extract::ExtractSink &sink);

} // namespace qvo::formats::rar
