// The INI reader and the typed getters on a file of fuzzed content.
#include "ini_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static qvo::fuzz::Scratch scratch("ini");
    qvo::fuzz::fuzzIni(scratch, data, size);
    return 0;
}
