// unlha32: LHA archives.  Grammar (tokens separated by spaces, paths quoted):
//   a [-x1] [-n] [-r2] [-jmN] "ARCHIVE" "FOLDER/"   create (see create.cpp)
// The extract grammar is documented in extract.cpp.
#include "archivers/command/entry_point.h"
#include "archivers/unlha32/create.h"
#include "archivers/unlha32/extract.h"

using namespace qvo::archivers;
using namespace qvo::archivers::command;

QVO_ARCHIVER_EXPORT int32_t UnlhaGetVersion(void)
{
    return kLibraryVersion;
}

QVO_ARCHIVER_EXPORT int32_t Unlha(void *, const char *cmdLine, char *output, uint32_t outputSize)
{
    return answerCommand(cmdLine, output, outputSize, [](const std::vector<Token> &t) -> int32_t {
        if (t[0].quoted)
            return kErrCommandLine;
        if (t[0].text == "a")
            return unlha32::runCreate(t);
        if (t[0].text == "x" || t[0].text == "e")
            return unlha32::runExtract(t);
        return kErrCommandLine;
    });
}
