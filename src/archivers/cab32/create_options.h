// The switches of a cab32 create command.
#pragma once
#include "archivers/command/command_line.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvo::archivers::cab32 {

enum class CabMethod { Lzx, Mszip, Stored };

struct CreateOptions {
    bool recurse = false;
    CabMethod method = CabMethod::Mszip;
    int lzxWindowBits = 0; // 15..21 with CabMethod::Lzx
    bool cp932Names = false; // QVO_SWITCH_CP932_NAMES
    std::string archive;
};

// Parses `-a [-r] [-i] (-ml:N | -mz | -ms) [--cp932-names] "ARCHIVE" *.*`.  Returns kOk or
// kErrCommandLine.
int32_t parseCreateCommand(const std::vector<command::Token> &tokens, CreateOptions &options);

} // namespace qvo::archivers::cab32
