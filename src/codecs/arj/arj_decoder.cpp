#include "codecs/arj/arj_decoder.h"

#include "codecs/arj/arj_fast_decoder.h"
#include "codecs/arj/arj_huffman_decoder.h"

#include <algorithm>
#include <vector>

namespace qvo::codecs::arj {
namespace {

using base::DecodeStatus;

// Stored data is copied as it comes, and no further than `size`.
DecodeStatus copyStored(base::ByteSource &in, uint64_t size, base::ByteSink &out)
{
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<uint64_t>(size, 64 * 1024)));
    uint64_t left = size;
    while (left > 0) {
        const int64_t n = in.read(buf.data(), static_cast<size_t>(std::min<uint64_t>(left, buf.size())));
        if (n < 0)
            return DecodeStatus::ReadError;
        if (n == 0)
            return DecodeStatus::Truncated;
        if (!out.write(buf.data(), static_cast<size_t>(n)))
            return DecodeStatus::OutputStopped;
        left -= static_cast<uint64_t>(n);
    }
    return DecodeStatus::Ok;
}

} // namespace

DecodeStatus decodeArj(uint8_t method, base::ByteSource &in, uint64_t size, base::ByteSink &out)
{
    if (method == kMethodStored)
        return copyStored(in, size, out);
    if (method < kMethodFast)
        return decodeArjHuffman(in, size, out);
    if (method == kMethodFast)
        return decodeArjFast(in, size, out);
    return DecodeStatus::Unsupported;
}

} // namespace qvo::codecs::arj
