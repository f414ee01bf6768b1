// unlha32 extract grammar (tokens separated by spaces, paths quoted):
//   x [-n] [-jyo] "ARCHIVE" "DEST"   extract keeping the stored folders
//   e [-n] [-jyo] "ARCHIVE" "DEST"   extract every file flat into DEST
// -n: no progress window (accepted, nothing to suppress here); -jyo:
// overwrite existing files.  Switches may come in any order, before the
// paths.  DEST must exist.  Members are decoded by lhasa (lh0, lh1, lh4 to
// lh7, lhx, lzs, lz4, lz5, pm0 to pm2) or by our own decoders (lh2, lh3);
// names by their Unicode or code-page headers, else as CP932.  Archives
// behind self-extractor programs are found beyond lhasa's search range.
#include "archivers/unlha32/extract.h"

#include "archivers/command/extract_command.h"
#include "formats/readers.h"

namespace qvo::archivers::unlha32 {

int32_t runExtract(const std::vector<command::Token> &tokens)
{
    static const command::ExtractGrammar grammar{
        {{"x", true}, {"e", false}},
        {},
        {"-jyo"},
        {"-n"},
    };
    return command::runExtractCommand(tokens, grammar,
                                      [](const std::filesystem::path &archive, const std::string &names,
                                         extract::ExtractSink &sink) {
        return formats::readArchive(formats::shared::ArchiveFamily::Lha, archive, names, sink);
    });
}

} // namespace qvo::archivers::unlha32
