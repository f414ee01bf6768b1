#include "codecs/lzx/lzx_e8.h"

#include "base/endian.h"
#include "codecs/lzx/lzx_constants.h"

namespace qvo::codecs::lzx {

void e8Encode(std::span<uint8_t> frame, uint64_t frameOffset, uint64_t frameIndex, int32_t translationSize)
{
    if (frameIndex >= kE8MaxFrames || frame.size() <= 10)
        return;
    uint8_t *d = frame.data();
    const size_t end = frame.size() - 10;
    for (size_t i = 0; i < end;) {
        if (d[i] != 0xE8) {
            ++i;
            continue;
        }
        const int64_t cur = int64_t(frameOffset + i);
        const int32_t rel = int32_t(base::loadLe32(d + i + 1));
        // The decoder maps abs in [0, size) to abs - cur and abs in
        // [-cur, 0) to abs + size; this is its inverse.
        if (rel >= -cur && rel < translationSize) {
            const int64_t abs = rel < translationSize - cur ? rel + cur : int64_t(rel) - translationSize;
            base::storeLe32(d + i + 1, uint32_t(int32_t(abs)));
        }
        i += 5;
    }
}

} // namespace qvo::codecs::lzx
