#include "codecs/match/bt_matchfinder.h"

#include "codecs/match/lz_extend.h"
#include "platform/page_memory.h"

#include <algorithm>
#include <new>

namespace qvo::codecs::match {

BtMatchFinder::BtMatchFinder(unsigned windowBits, unsigned hashBits, uint32_t niceLength)
    : hashBits_(hashBits), niceLength_(std::max(niceLength, kMinLength)), ringMask_((uint32_t(1) << windowBits) - 1),
      heads_(allocate(size_t(1) << hashBits)), children_(allocate(size_t(2) << windowBits))
{
}

BtMatchFinder::Array BtMatchFinder::allocate(size_t count)
{
    const size_t bytes = count * sizeof(uint32_t);
    return Array(static_cast<uint32_t *>(platform::allocatePages(bytes)), PageDeleter{bytes});
}

void BtMatchFinder::PageDeleter::operator()(uint32_t *p) const
{
    platform::freePages(p, bytes);
}

template <bool kRecord>
size_t BtMatchFinder::walk(const uint8_t *in, uint32_t pos, uint32_t maxDistance, BtMatch *out, unsigned maxDepth)
{
    const uint32_t limit = niceLength_;
    uint32_t &head = heads_[hash4(in)];
    uint32_t node = head;
    head = pos + 1;

    uint32_t *pendingSmaller = &children_[2 * (pos & ringMask_)];
    uint32_t *pendingGreater = pendingSmaller + 1;
    uint32_t smallerLen = 0, greaterLen = 0, len = 0;
    uint32_t bestLen = kMinLength - 1;
    size_t count = 0;

    for (unsigned depth = maxDepth;;) {
        if (node == 0 || pos + 1 - node > maxDistance || depth-- == 0) {
            *pendingSmaller = 0;
            *pendingGreater = 0;
            return count;
        }
        const uint32_t distance = pos + 1 - node;
        const uint8_t *candidate = in - distance;
        uint32_t *links = &children_[2 * ((node - 1) & ringMask_)];
        prefetchChildren(links, in, pos, len);

        if (candidate[len] == in[len]) {
            len = lzExtend(candidate, in, len + 1, limit);
            if (kRecord && len > bestLen) {
                bestLen = len;
                out[count++] = {len, distance};
            }
            if (len >= limit) {
                // The candidate equals us as far as we look: it takes our
                // place, its subtrees become ours.
                *pendingSmaller = links[0];
                *pendingGreater = links[1];
                return count;
            }
        }
        if (candidate[len] < in[len]) {
            *pendingSmaller = node;
            pendingSmaller = &links[1];
            node = *pendingSmaller;
            smallerLen = len;
        } else {
            *pendingGreater = node;
            pendingGreater = &links[0];
            node = *pendingGreater;
            greaterLen = len;
        }
        len = std::min(smallerLen, greaterLen);
    }
}

template size_t BtMatchFinder::walk<true>(const uint8_t *, uint32_t, uint32_t, BtMatch *, unsigned);
template size_t BtMatchFinder::walk<false>(const uint8_t *, uint32_t, uint32_t, BtMatch *, unsigned);

size_t BtMatchFinder::find(const uint8_t *in, uint32_t pos, uint32_t avail, uint32_t maxDistance, unsigned depth,
                           BtMatch *out) const
{
    const uint32_t limit = std::min(avail, niceLength_);
    if (limit < kMinLength)
        return 0;
    uint32_t node = heads_[hash4(in)];
    uint32_t smallerLen = 0, greaterLen = 0, len = 0;
    uint32_t bestLen = kMinLength - 1;
    size_t count = 0;
    for (; node != 0 && pos + 1 - node <= maxDistance && depth-- > 0;) {
        const uint32_t distance = pos + 1 - node;
        const uint8_t *candidate = in - distance;
        const uint32_t *links = &children_[2 * ((node - 1) & ringMask_)];
        prefetchChildren(links, in, pos, len);
        if (candidate[len] == in[len]) {
            len = lzExtend(candidate, in, len + 1, limit);
            if (len > bestLen) {
                bestLen = len;
                out[count++] = {len, distance};
            }
            if (len >= limit)
                break;
        }
        if (candidate[len] < in[len]) {
            node = links[1];
            smallerLen = len;
        } else {
            node = links[0];
            greaterLen = len;
        }
        len = std::min(smallerLen, greaterLen);
    }
    return count;
}

} // namespace qvo::codecs::match
