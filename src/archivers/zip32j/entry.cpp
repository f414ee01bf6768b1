// Zip32J: creates ZIP archives.  Grammar (tokens separated by spaces, the
// archive path quoted):
//   (-r | -j) [-q] [-0 ... -9] "ARCHIVE" *.*     create (see create.cpp)
// The library extracts nothing; unzip32 and 7-zip32 do.
#include "archivers/include/export.h"
#include "archivers/command/guarded_call.h"
#include "archivers/zip32j/create.h"

using namespace qvo::archivers;

QVO_ARCHIVER_EXPORT int32_t ZipGetVersion(void)
{
    return kLibraryVersion;
}

QVO_ARCHIVER_EXPORT int32_t Zip(void *, const char *cmdLine, char *output, uint32_t outputSize)
{
    if (output && outputSize > 0)
        output[0] = '\0';
    return guardedCommand(cmdLine, [](const std::vector<Token> &t) -> int32_t {
        return zip32j::runCreate(t);
    });
}
