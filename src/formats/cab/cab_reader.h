// CAB reader: decodes every file with libmspack (MSZIP, LZX, Quantum,
// stored) and hands it to the sink.  Cabinet sets are followed through the
// previous/next cabinet names when those files lie in the same folder.
#pragma once
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>

namespace qvo::archivers {

int32_t readCabArchive(const std::filesystem::path &archive, ExtractSink &sink);

} // namespace qvo::archivers
