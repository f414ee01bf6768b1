// The extract half of the archiver libraries' command lines, shared by all
// five readers.
//
// Each library states which tokens it accepts (its command words and
// switches, see ExtractGrammar); the line must then end with exactly two
// quoted paths, the archive and the destination folder.  Every grammar
// also takes the conversion's own switches (see qvo_archiver.h):
// QVO_SWITCH_CONVERSION, QVO_SWITCH_MEMBER_LIST with a third path, where
// the members handed over are listed, and QVO_SWITCH_NAMES.  The destination
// must already exist: the conversion run creates its working folder before
// calling, so a missing folder means a wrong path and fails with kErrWrite
// rather than creating folders in unexpected places.
//
// QVO_TEST_EXTRACT_LIMIT (environment, decimal bytes) caps the total bytes
// one call may write; tests use it to exercise the bomb guard without
// filling a volume.
#pragma once
#include "archivers/command/command_line.h"
#include "extract/extract_sink.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qvo::archivers::command {

struct ExtractGrammar {
    // Accepted first tokens with whether each keeps folders.  An empty
    // `word` means the first token is a switch from `pathSwitches`.
    struct Command {
        std::string word;
        bool restorePaths;
    };
    std::vector<Command> commands;
    // Switches that select flat extraction ("-j"); may follow the command.
    std::vector<std::string> flatSwitches;
    // Switches that turn overwriting on.
    std::vector<std::string> overwriteSwitches;
    // Switches accepted and ignored (progress-window suppression).
    std::vector<std::string> quietSwitches;
};

struct ExtractRequest {
    std::filesystem::path archive;
    std::filesystem::path destination;
    bool restorePaths = true;
    bool overwrite = false;
    bool linksAsData = false;         // a conversion's working folder
    std::filesystem::path memberList; // empty: no list asked for
    std::string nameCharset;          // QVO_SWITCH_NAMES; empty: judged per archive
};

// Parses `tokens` against `grammar`.  False on any unknown switch, a
// missing or surplus path, or a switch after the paths.
bool parseExtractCommand(const std::vector<Token> &tokens, const ExtractGrammar &grammar,
                         ExtractRequest &request);

// The reader of one format: walks `archive` and hands every member to
// `sink`, reading unmarked names in `nameCharset` (empty: judged per
// archive).  Returns kOk or the failure that stopped the walk (the sink
// keeps member failures itself).
using ArchiveReader = std::function<int32_t(const std::filesystem::path &archive, const std::string &nameCharset,
                                            extract::ExtractSink &sink)>;

// Checks the paths, sets up the sink and runs `reader`.  The result is the
// reader's failure if it had one, otherwise the sink's.
int32_t runExtract(const ExtractRequest &request, const ArchiveReader &reader);

// Parses and runs in one step: the extract command of one library.
int32_t runExtractCommand(const std::vector<Token> &tokens, const ExtractGrammar &grammar,
                          const ArchiveReader &reader);

} // namespace qvo::archivers::command
