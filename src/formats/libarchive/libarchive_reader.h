// ZIP and RAR reader over libarchive's read side; every byte goes to the
// sink (libarchive's disk writer is never used).
#pragma once
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>

namespace qvo::archivers {

enum class ArchiveFamily {
    Zip,  // ZIP only (unzip32)
    Rar,  // RAR 1.5 to 5, multi-volume sets (unrar32)
    Many, // ZIP first, also 7z, RAR and tar (7-zip32)
};

int32_t readWithLibarchive(const std::filesystem::path &archive, ArchiveFamily family, ExtractSink &sink);

} // namespace qvo::archivers
