// Extraction of a fuzzed ARJ archive through our reader and sink.
#include "extract_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static qvo::fuzz::Scratch scratch("extract-arj");
    qvo::fuzz::fuzzExtract(scratch, qvo::fuzz::ExtractFormat::Arj, data, size);
    return 0;
}
