// The command functions of the six archiver libraries, linked in, fed
// fuzzed command lines.  QVO_FUZZ_ARCHIVES names a folder of small sample
// archives copied into the scratch folder for the commands to read.
#include "cmdline_harness.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static qvo::fuzz::Scratch scratch("cmdline");
#define QVO_COMMAND_OF(id, file, version, command) command,
    static const qvo::fuzz::ArchiverCommands libs{{QVO_ARCHIVER_LIBRARIES(QVO_COMMAND_OF)}};
#undef QVO_COMMAND_OF
    static const char *archives = std::getenv("QVO_FUZZ_ARCHIVES");
    qvo::fuzz::fuzzCommandLine(scratch, libs, archives ? archives : "", data, size);
    return 0;
}
