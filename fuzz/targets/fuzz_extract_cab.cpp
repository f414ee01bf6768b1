// Extraction of a fuzzed CAB archive through our reader and sink.
#include "extract_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static qvo::fuzz::Scratch scratch("extract-cab");
    qvo::fuzz::fuzzExtract(scratch, qvo::fuzz::ExtractFormat::Cab, data, size);
    return 0;
}
