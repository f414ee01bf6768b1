// unzip32: extraction of ZIP archives.  Grammar (tokens separated by spaces,
// paths quoted):
//   -x [-j] [-q] [-o] "ARCHIVE" "DEST"
// -j: every file flat into DEST; -q: no progress window (accepted); -o:
// overwrite existing files.  Switches after -x may come in any order,
// before the paths.  DEST must exist.  Names flagged UTF-8 (bit 11) or
// carrying a Unicode Path field (0x7075) whose CRC matches the stored name
// are taken as UTF-8, and so are unmarked names made on Unix or OS X that
// are valid UTF-8 beyond ASCII; all others as CP932.  Archives with
// members in Shrink, Reduce, Implode or Deflate64 are read by our own ZIP
// reader, the rest through libarchive.
#include "archivers/command/extract_command.h"
#include "archivers/command/entry_point.h"
#include "formats/readers.h"

using namespace qvo::archivers::command;
using namespace qvo::extract;
using namespace qvo::formats;
using namespace qvo::formats::shared;

QVO_ARCHIVER_EXPORT int32_t UnZipGetVersion(void)
{
    return kLibraryVersion;
}

QVO_ARCHIVER_EXPORT int32_t UnZip(void *, const char *cmdLine, char *output, uint32_t outputSize)
{
    return answerCommand(cmdLine, output, outputSize, [](const std::vector<Token> &t) -> int32_t {
        static const ExtractGrammar grammar{{{"-x", true}}, {"-j"}, {"-o"}, {"-q"}};
        return runExtractCommand(t, grammar, [](const std::filesystem::path &archive, const std::string &names, ExtractSink &sink) {
            return readArchive(ArchiveFamily::Zip, archive, names, sink);
        });
    });
}
