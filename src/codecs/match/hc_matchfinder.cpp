#include "codecs/match/hc_matchfinder.h"

#include "codecs/match/lz_extend.h"

#include <algorithm>

namespace qvo::codecs::match {

HcMatchFinder::HcMatchFinder(unsigned windowBits, unsigned hashBits)
    : windowSize_(1u << windowBits), windowMask_((1u << windowBits) - 1), hashShift_(32 - hashBits),
      head_(size_t(1) << hashBits), chain_(new uint32_t[size_t(1) << windowBits])
{
}

void HcMatchFinder::reset()
{
    std::fill(head_.begin(), head_.end(), 0u);
}

unsigned HcMatchFinder::findAndInsert(const uint8_t *in, uint32_t pos, uint32_t end,
                                      unsigned bestLen, unsigned maxLen, unsigned niceLen,
                                      unsigned maxDepth, uint32_t *distance)
{
    if (end - pos < kHcMinMatch)
        return bestLen;
    maxLen = std::min<uint32_t>(maxLen, end - pos);
    niceLen = std::min(niceLen, maxLen);

    const uint8_t *cur = in + pos;
    uint32_t h = hash(cur);
    uint32_t link = head_[h];
    chain_[pos & windowMask_] = link;
    head_[h] = pos + 1;
    if (bestLen >= maxLen)
        return bestLen;

    // A candidate exactly windowSize_ back shares pos's chain slot, which
    // was just overwritten: the window ends one byte short of that.
    uint32_t oldest = pos >= windowSize_ ? pos - windowSize_ + 1 : 0;
    const uint32_t first3 = uint32_t(cur[0]) | uint32_t(cur[1]) << 8 | uint32_t(cur[2]) << 16;

    while (link > oldest && maxDepth-- > 0) {
        uint32_t cand = link - 1;
        const uint8_t *m = in + cand;
        link = chain_[cand & windowMask_];
        // Cheap rejections first: the byte that would make the match longer,
        // then the three hashed bytes (hashes collide).
        if (m[bestLen] != cur[bestLen])
            continue;
        if ((uint32_t(m[0]) | uint32_t(m[1]) << 8 | uint32_t(m[2]) << 16) != first3)
            continue;
        unsigned len = lzExtend(cur, m, 3, maxLen);
        if (len > bestLen) {
            bestLen = len;
            *distance = pos - cand;
            if (len >= niceLen)
                break;
        }
    }
    return bestLen;
}

unsigned HcMatchFinder::findAllAndInsert(const uint8_t *in, uint32_t pos, uint32_t end,
                                         unsigned maxLen, unsigned niceLen, unsigned maxDepth,
                                         LzMatch *out)
{
    if (end - pos < kHcMinMatch)
        return 0;
    maxLen = std::min<uint32_t>(maxLen, end - pos);
    niceLen = std::min(niceLen, maxLen);

    const uint8_t *cur = in + pos;
    uint32_t h = hash(cur);
    uint32_t link = head_[h];
    chain_[pos & windowMask_] = link;
    head_[h] = pos + 1;

    uint32_t oldest = pos >= windowSize_ ? pos - windowSize_ + 1 : 0;
    const uint32_t first3 = uint32_t(cur[0]) | uint32_t(cur[1]) << 8 | uint32_t(cur[2]) << 16;
    unsigned bestLen = kHcMinMatch - 1;
    unsigned count = 0;
    while (link > oldest && maxDepth-- > 0) {
        uint32_t cand = link - 1;
        const uint8_t *m = in + cand;
        link = chain_[cand & windowMask_];
        if (m[bestLen] != cur[bestLen])
            continue;
        if ((uint32_t(m[0]) | uint32_t(m[1]) << 8 | uint32_t(m[2]) << 16) != first3)
            continue;
        unsigned len = lzExtend(cur, m, 3, maxLen);
        if (len > bestLen) {
            bestLen = len;
            out[count++] = {len, pos - cand};
            if (len >= niceLen)
                break;
        }
    }
    return count;
}

} // namespace qvo::codecs::match
