#include "codecs/zip_legacy/zip_legacy_decoder.h"

#include "codecs/zip_legacy/zip_explode.h"
#include "codecs/zip_legacy/zip_inflate64.h"
#include "codecs/zip_legacy/zip_unreduce.h"
#include "codecs/zip_legacy/zip_unshrink.h"

namespace qvo::codecs::zip_legacy {

using base::DecodeStatus;

bool isLegacyMethod(uint16_t method)
{
    return method == kMethodShrink || (method >= kMethodReduceFirst && method <= kMethodReduceLast)
        || method == kMethodImplode || method == kMethodDeflate64;
}

DecodeStatus decodeLegacyMember(uint16_t method, uint16_t flags, base::ByteSource &in, uint64_t size,
                                base::ByteSink &out)
{
    if (method == kMethodShrink)
        return unshrink(in, size, out);
    if (method >= kMethodReduceFirst && method <= kMethodReduceLast)
        return unreduce(in, method - kMethodReduceFirst + 1u, size, out);
    if (method == kMethodImplode)
        return explode(in, flags, size, out);
    if (method == kMethodDeflate64)
        return inflate64(in, size, out);
    return DecodeStatus::Corrupt;
}

} // namespace qvo::codecs::zip_legacy
