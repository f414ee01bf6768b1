// The LHA level-2 header writer fed hostile names, sizes and modes.
#include "headers_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qvo::fuzz::fuzzLhaHeader(data, size);
    return 0;
}
