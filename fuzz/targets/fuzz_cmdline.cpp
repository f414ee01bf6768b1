// The command functions of the six archiver libraries, linked in, fed
// fuzzed command lines.  QVO_FUZZ_ARCHIVES names a folder of small sample
// archives copied into the scratch folder for the commands to read.
#include "cmdline_harness.h"

#include <cstdlib>

extern "C" {
int32_t Unlha(void *, const char *, char *, uint32_t);
int32_t UnZip(void *, const char *, char *, uint32_t);
int32_t Zip(void *, const char *, char *, uint32_t);
int32_t SevenZip(void *, const char *, char *, uint32_t);
int32_t Cab(void *, const char *, char *, uint32_t);
int32_t Unrar(void *, const char *, char *, uint32_t);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static qvo::fuzz::Scratch scratch("cmdline");
    static const qvo::fuzz::ArchiverCommands libs{{Unlha, UnZip, Zip, SevenZip, Cab, Unrar}};
    static const char *archives = std::getenv("QVO_FUZZ_ARCHIVES");
    qvo::fuzz::fuzzCommandLine(scratch, libs, archives ? archives : "", data, size);
    return 0;
}
