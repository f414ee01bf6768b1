// cab32 extract grammar (tokens separated by spaces, paths quoted):
//   -x [-j] [-i] [-o] "ARCHIVE" "DEST"
// -j: every file flat into DEST; -i: no progress window (accepted); -o:
// overwrite existing files.  Switches after -x may come in any order,
// before the paths; the back-end sends "-x  -i " with two spaces, which
// the tokenizer takes as one separator.  DEST must exist.  Cabinet sets
// are followed through the neighbour names stored in each cabinet when
// those files lie beside ARCHIVE; a missing one gives kErrMissingVolume.
#include "archivers/cab32/extract.h"

#include "archivers/command/extract_command.h"
#include "formats/readers.h"

namespace qvo::archivers::cab32 {

int32_t runExtract(const std::vector<command::Token> &tokens)
{
    static const command::ExtractGrammar grammar{
        {{"-x", true}},
        {"-j"},
        {"-o"},
        {"-i"},
    };
    return command::runExtractCommand(tokens, grammar,
                                      [](const std::filesystem::path &archive, const std::string &names,
                                         extract::ExtractSink &sink) {
        return formats::readArchive(formats::shared::ArchiveFamily::Cab, archive, names, sink);
    });
}

} // namespace qvo::archivers::cab32
