// cab32: cabinet archives.  Grammar (tokens separated by spaces, paths quoted):
//   -a [-r] [-i] (-ml:N | -mz | -ms) "ARCHIVE" *.*    create (see create.cpp)
// The extract grammar is documented in extract.cpp.
#include "archivers/command/entry_point.h"
#include "archivers/cab32/create.h"
#include "archivers/cab32/extract.h"

using namespace qvo::archivers;
using namespace qvo::archivers::command;

QVO_ARCHIVER_EXPORT int32_t CabGetVersion(void)
{
    return kLibraryVersion;
}

QVO_ARCHIVER_EXPORT int32_t Cab(void *, const char *cmdLine, char *output, uint32_t outputSize)
{
    return answerCommand(cmdLine, output, outputSize, [](const std::vector<Token> &t) -> int32_t {
        if (isSwitch(t[0]) && t[0].text == "-a")
            return cab32::runCreate(t);
        if (isSwitch(t[0]) && t[0].text == "-x")
            return cab32::runExtract(t);
        return kErrCommandLine;
    });
}
