// What every library's command function does around its own grammar: it
// answers with an empty output text, tokenizes the command line, and lets
// nothing escape the C boundary (exceptions become kErrInternal).
#pragma once
#include "archivers/command/command_line.h"
#include "archivers/include/qvo_archiver.h"

#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace qvo::archivers::command {

// Version numbers the libraries report: major * 100 + minor, as the
// libraries they stand in for did.
constexpr int32_t kLibraryVersion = 300;

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

// The body of a command function: `run` gets the tokens of `cmdLine`.
template <typename Fn>
int32_t answerCommand(const char *cmdLine, char *output, uint32_t outputSize, Fn &&run)
{
    if (output && outputSize > 0)
        output[0] = '\0';
    return guardedCommand(cmdLine, std::forward<Fn>(run));
}

} // namespace qvo::archivers::command
