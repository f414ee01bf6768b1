// The extract command of unlha32.
#pragma once
#include "archivers/command/command_line.h"

#include <cstdint>
#include <vector>

namespace qvo::archivers::unlha32 {

// Carries out an "x" or "e" command; `tokens` is the whole tokenized line.
int32_t runExtract(const std::vector<command::Token> &tokens);

} // namespace qvo::archivers::unlha32
