// The cabinet writer fed hostile names, sizes and limits.
#include "headers_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static qvo::fuzz::Scratch scratch("cabw");
    qvo::fuzz::fuzzCabWriter(scratch, data, size);
    return 0;
}
