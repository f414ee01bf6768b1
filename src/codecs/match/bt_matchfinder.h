// Binary-tree match finder over a sliding window.
//
// Every position is inserted into a binary search tree of the earlier
// positions whose first three bytes hash alike, ordered by the strings that
// follow them.  Walking down the tree from the newest position yields
// matches of increasing length; the walk also re-roots the tree at the new
// position, so the search and the insertion are one pass.
//
// Positions are stream positions (uint32); the caller passes a pointer to
// the bytes at the position and guarantees that the `maxDistance` bytes
// before it are readable.  Child links live in a ring of 2^windowBits nodes,
// so memory is fixed by the window whatever the stream length.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvo::codecs::match {

struct BtMatch {
    uint32_t length;
    uint32_t distance;
};

class BtMatchFinder {
public:
    static constexpr uint32_t kMinLength = 3;

    // `maxDistance` must stay below 2^windowBits.  Every comparison that
    // shapes the tree looks at exactly `niceLength` bytes, so the tree stays
    // ordered however the caller's data ends.
    BtMatchFinder(unsigned windowBits, unsigned hashBits, unsigned maxDepth, uint32_t niceLength);

    uint32_t niceLength() const { return niceLength_; }

    // Inserts position `pos` (bytes at `in`, at least niceLength readable)
    // and stores the matches found, each longer than the one before, into
    // `out` (room for niceLength entries).  Returns how many were stored.
    size_t findAndInsert(const uint8_t *in, uint32_t pos, uint32_t maxDistance, BtMatch *out)
    {
        return walk<true>(in, pos, maxDistance, out);
    }

    // Inserts position `pos` without reporting matches.
    void insert(const uint8_t *in, uint32_t pos, uint32_t maxDistance) { walk<false>(in, pos, maxDistance, nullptr); }

    // Searches without inserting, for positions with fewer than niceLength
    // bytes after them (`avail`); such positions are inserted later, once
    // more data is there, or never.
    size_t find(const uint8_t *in, uint32_t pos, uint32_t avail, uint32_t maxDistance, BtMatch *out) const;

private:
    template <bool kRecord>
    size_t walk(const uint8_t *in, uint32_t pos, uint32_t maxDistance, BtMatch *out);

    uint32_t hash3(const uint8_t *p) const
    {
        uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        return (v * 0x9E3779B1u) >> (32 - hashBits_);
    }

    unsigned hashBits_;
    unsigned maxDepth_;
    uint32_t niceLength_;
    uint32_t ringMask_;
    // Nodes hold position + 1; 0 is the empty link.
    std::vector<uint32_t> heads_;
    std::vector<uint32_t> children_; // [2 * slot] smaller, [2 * slot + 1] greater
};

} // namespace qvo::codecs::match
