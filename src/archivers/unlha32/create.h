// The create command of unlha32.
#pragma once
#include "archivers/command/command_line.h"

#include <cstdint>
#include <vector>

namespace qvo::archivers::unlha32 {

// Carries out a create command; `tokens` is the whole tokenized command
// line.  Returns 0 on success or an ArchiverResult code.
int32_t runCreate(const std::vector<command::Token> &tokens);

} // namespace qvo::archivers::unlha32
