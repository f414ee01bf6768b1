// The extract command of cab32.
#pragma once
#include "archivers/command/command_line.h"

#include <cstdint>
#include <vector>

namespace qvo::archivers::cab32 {

// Carries out a "-x" command; `tokens` is the whole tokenized line.
int32_t runExtract(const std::vector<command::Token> &tokens);

} // namespace qvo::archivers::cab32
