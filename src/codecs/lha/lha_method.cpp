#include "codecs/lha/lha_method.h"

#include "codecs/lha/lh1_encoder.h"
#include "codecs/lha/lh_static_encoder.h"

namespace qvo::codecs::lha {

const char *lhaMethodId(LhaMethod m)
{
    switch (m) {
    case LhaMethod::Lh0:
        return "-lh0-";
    case LhaMethod::Lh1:
        return "-lh1-";
    case LhaMethod::Lh5:
        return "-lh5-";
    case LhaMethod::Lh6:
        return "-lh6-";
    case LhaMethod::Lh7:
        return "-lh7-";
    }
    return "-lh0-";
}

EncodeResult encodeLhaMember(LhaMethod m, const uint8_t *in, size_t size, const ByteSink &sink)
{
    EncodeResult notSmaller;
    notSmaller.status = EncodeStatus::NotSmaller;
    if (size == 0)
        return notSmaller;
    const uint64_t limit = size - 1;
    switch (m) {
    case LhaMethod::Lh1:
        return encodeLh1(in, size, limit, sink);
    case LhaMethod::Lh5:
        return encodeLhStatic(kLh5Params, in, size, limit, sink);
    case LhaMethod::Lh6:
        return encodeLhStatic(kLh6Params, in, size, limit, sink);
    case LhaMethod::Lh7:
        return encodeLhStatic(kLh7Params, in, size, limit, sink);
    case LhaMethod::Lh0:
        break;
    }
    return notSmaller;
}

} // namespace qvo::codecs::lha
