// 7-zip32: extraction of ZIP archives, and of 7z, RAR and tar ones that
// libarchive reads.  Grammar (tokens separated by spaces, paths quoted):
//   x [-hide] [-aoa] "ARCHIVE" "DEST"   extract keeping the stored folders
//   e [-hide] [-aoa] "ARCHIVE" "DEST"   extract every file flat into DEST
// -hide: no progress window (accepted); -aoa: overwrite existing files.
// Switches may come in any order, before the paths.  DEST must exist.
// ZIP names are decoded as unzip32 decodes them.
#include "archivers/command/extract_command.h"
#include "archivers/command/entry_point.h"
#include "formats/readers.h"

using namespace qvo::archivers::command;
using namespace qvo::extract;
using namespace qvo::formats;
using namespace qvo::formats::shared;

QVO_ARCHIVER_EXPORT int32_t SevenZipGetVersion(void)
{
    return kLibraryVersion;
}

QVO_ARCHIVER_EXPORT int32_t SevenZip(void *, const char *cmdLine, char *output, uint32_t outputSize)
{
    return answerCommand(cmdLine, output, outputSize, [](const std::vector<Token> &t) -> int32_t {
        static const ExtractGrammar grammar{{{"x", true}, {"e", false}}, {}, {"-aoa"}, {"-hide"}};
        return runExtractCommand(t, grammar, [](const std::filesystem::path &archive, const std::string &names, ExtractSink &sink) {
            return readArchive(ArchiveFamily::Many, archive, names, sink);
        });
    });
}
