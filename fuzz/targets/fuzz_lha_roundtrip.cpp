// Our lh1/lh5/lh6/lh7 encoders against lhasa's decoders.
#include "roundtrip_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qvo::fuzz::fuzzLhaRoundTrip(data, size);
    return 0;
}
