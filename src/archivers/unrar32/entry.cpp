// unrar32: extraction of RAR archives (1.5 to 5).  Grammar (tokens
// separated by spaces, paths quoted):
//   -x [-q] [-o] "ARCHIVE" "DEST/"   extract keeping the stored folders
//   -e [-q] [-o] "ARCHIVE" "DEST/"   extract every file flat into DEST
// -q: no progress window (accepted); -o: overwrite existing files.
// Switches may come in any order, before the paths.  DEST must exist; the
// back-end appends a separator, so it may end in two.  A multi-volume set
// is read from its first volume when the others (name.partN.rar, or the
// old name.rar, name.r00, name.r01...) lie beside it; otherwise, or when a
// later volume is given alone, the result is kErrMissingVolume.
// Encrypted members fail as kErrEncrypted; the others are still extracted.
#include "archivers/command/extract_command.h"
#include "archivers/command/entry_point.h"
#include "formats/readers.h"

using namespace qvo::archivers::command;
using namespace qvo::extract;
using namespace qvo::formats;
using namespace qvo::formats::shared;

QVO_ARCHIVER_EXPORT int32_t UnrarGetVersion(void)
{
    return kLibraryVersion;
}

QVO_ARCHIVER_EXPORT int32_t Unrar(void *, const char *cmdLine, char *output, uint32_t outputSize)
{
    return answerCommand(cmdLine, output, outputSize, [](const std::vector<Token> &t) -> int32_t {
        static const ExtractGrammar grammar{{{"-x", true}, {"-e", false}}, {}, {"-o"}, {"-q"}};
        return runExtractCommand(t, grammar, [](const std::filesystem::path &archive, const std::string &names, ExtractSink &sink) {
            return readArchive(ArchiveFamily::Rar, archive, names, sink);
        });
    });
}
