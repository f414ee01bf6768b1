// Our LZX encoder against libmspack's CAB decompressor.
#include "roundtrip_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static qvo::fuzz::Scratch scratch("lzx");
    qvo::fuzz::fuzzLzxRoundTrip(scratch, data, size);
    return 0;
}
