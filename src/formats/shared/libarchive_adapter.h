// Reading archives with libarchive's read side; every byte goes to the
// sink (libarchive's disk writer is never used).  The formats' hooks
// (libarchive_format.h) add what libarchive misses; formats/readers.cpp
// decides which archives come here and with which formats.
#pragma once
#include "extract/extract_sink.h"
#include "formats/shared/libarchive_format.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace qvo::formats::shared {

// Reads `archive` as one of `formats` (libarchive bids among them, ties
// going to the first) and hands every member to `sink`.  `chosenCharset`:
// the encoding the user named for names no format marks, or empty (they
// are read as CP932: a streamed archive's names cannot all be seen before
// the first member).  Returns kOk or the failure that stopped the read.
int32_t readWithLibarchive(const std::filesystem::path &archive, std::span<LibarchiveFormat *const> formats,
                           const std::string &chosenCharset, extract::ExtractSink &sink);

} // namespace qvo::formats::shared
