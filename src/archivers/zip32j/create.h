// The create command of Zip32J.
#pragma once
#include "archivers/common/command_line.h"
#include "codecs/zip/zip_writer.h"

#include <cstdint>
#include <vector>

namespace qvo::archivers::zip32j {

// Carries out a create command; `tokens` is the whole tokenized command
// line.  Returns 0 on success or an ArchiverResult code.
int32_t runCreate(const std::vector<Token> &tokens);

// The same with other ZIP64 thresholds, so tests can reach the ZIP64
// records with small trees.
int32_t runCreate(const std::vector<Token> &tokens, codecs::zip::Zip64Thresholds thresholds);

} // namespace qvo::archivers::zip32j
