// Hash-chain match finder for LZ77 encoders with a sliding window.
//
// Every position of the input is linked into a chain of earlier positions
// whose first three bytes hash alike; a search walks that chain from the
// newest entry and stops at the window edge or after `maxDepth` candidates.
// Positions are absolute offsets into one input buffer, so the whole input
// must be in memory (files are mapped) and shorter than 4 GiB - 1.
//
// Usage: for each position in increasing order call either findAndInsert()
// or insert(); both link the position into its chain.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qvo::codecs::match {

// Shortest match the finder reports: the hash covers three bytes.
constexpr unsigned kHcMinMatch = 3;

// One match found at a position: `length` bytes `distance` bytes back.
struct LzMatch {
    uint32_t length;
    uint32_t distance;
};

class HcMatchFinder {
public:
    // `windowBits`: matches reach at most (1 << windowBits) - 1 bytes back.
    // `hashBits`: size of the head table; 15-16 suits windows up to 64 KiB,
    // fewer bits make short inputs cheaper (the table is cleared per input).
    HcMatchFinder(unsigned windowBits, unsigned hashBits);

    // Forgets all positions (start of a new input).
    void reset();

    // Links `pos` and returns the length of the longest earlier match at
    // `pos` that is longer than `bestLen`, or `bestLen` when there is none
    // (then `*distance` is untouched).  Lengths are capped at `maxLen` and at
    // the end of the input; the search stops early at `niceLen`.
    unsigned findAndInsert(const uint8_t *in, uint32_t pos, uint32_t end, unsigned bestLen,
                           unsigned maxLen, unsigned niceLen, unsigned maxDepth,
                           uint32_t *distance);

    // Links `pos` and stores in `out` the matches at `pos` that are longer
    // than every nearer one (so lengths increase and each distance is the
    // smallest for its length), at least kHcMinMatch bytes long.  Returns
    // their number, at most `maxDepth`; stops at `niceLen`.
    unsigned findAllAndInsert(const uint8_t *in, uint32_t pos, uint32_t end, unsigned maxLen,
                              unsigned niceLen, unsigned maxDepth, LzMatch *out);

    // Links `pos` without searching (positions covered by a match).
    void insert(const uint8_t *in, uint32_t pos, uint32_t end)
    {
        if (end - pos < kHcMinMatch)
            return;
        uint32_t h = hash(in + pos);
        chain_[pos & windowMask_] = head_[h];
        head_[h] = pos + 1;
    }

private:
    uint32_t hash(const uint8_t *p) const
    {
        uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        return (v * 0x1E35A7BDu) >> hashShift_;
    }

    uint32_t windowSize_;
    uint32_t windowMask_;
    unsigned hashShift_;
    // Chain links hold position + 1 so that 0 means "none".
    std::vector<uint32_t> head_;  // newest position per hash
    // Previous position with the same hash, by pos & mask.  Left
    // uninitialized: a slot is read only after its position was linked.
    std::unique_ptr<uint32_t[]> chain_;
};

} // namespace qvo::codecs::match
