// LHA reader: decodes every member with lhasa and hands it to the sink.
#pragma once
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>

namespace qvo::archivers {

int32_t readLhaArchive(const std::filesystem::path &archive, ExtractSink &sink);

} // namespace qvo::archivers
