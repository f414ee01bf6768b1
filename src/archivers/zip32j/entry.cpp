// Zip32J: creates ZIP archives.  Grammar (tokens separated by spaces, the
// archive path quoted):
//   (-r | -j) [-q] [-0 ... -9] "ARCHIVE" *.*     create (see create.cpp)
// The library extracts nothing; unzip32 and 7-zip32 do.
#include "archivers/command/entry_point.h"
#include "archivers/zip32j/create.h"

using namespace qvo::archivers;
using namespace qvo::archivers::command;

QVO_ARCHIVER_EXPORT int32_t ZipGetVersion(void)
{
    return kLibraryVersion;
}

QVO_ARCHIVER_EXPORT int32_t Zip(void *, const char *cmdLine, char *output, uint32_t outputSize)
{
    return answerCommand(cmdLine, output, outputSize, [](const std::vector<Token> &t) -> int32_t {
        return zip32j::runCreate(t);
    });
}
