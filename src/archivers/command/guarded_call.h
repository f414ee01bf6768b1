// Runs a command of an archiver library so that nothing escapes the C
// boundary: exceptions become kErrInternal.
#pragma once
#include "archivers/include/archiver_result.h"
#include "archivers/command/command_line.h"

#include <new>
#include <string_view>
#include <vector>

namespace qvo::archivers {

template <typename Fn>
int32_t guardedCommand(const char *cmdLine, Fn &&run)
{
    try {
        if (!cmdLine)
            return kErrCommandLine;
        std::vector<Token> tokens;
        if (!tokenizeCommandLine(std::string_view(cmdLine), tokens) || tokens.empty())
            return kErrCommandLine;
        return run(tokens);
    } catch (const std::bad_alloc &) {
        return kErrInternal;
    } catch (...) {
        return kErrInternal;
    }
}

} // namespace qvo::archivers
