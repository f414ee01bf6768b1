// Binary-tree match finder over a sliding window.
//
// Every position is inserted into a binary search tree of the earlier
// positions whose first four bytes hash alike, ordered by the strings that
// follow them.  Walking down the tree from the newest position yields
// matches of increasing length; the walk also re-roots the tree at the new
// position, so the search and the insertion are one pass.
//
// Positions are stream positions (uint32); the caller passes a pointer to
// the bytes at the position and guarantees that the `maxDistance` bytes
// before it are readable.  Child links live in a ring of 2^windowBits nodes,
// so memory is fixed by the window whatever the stream length.
#pragma once
#include "base/endian.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qvo::codecs::match {

struct BtMatch {
    uint32_t length;
    uint32_t distance;
};

class BtMatchFinder {
public:
    static constexpr uint32_t kMinLength = 4;

    // `maxDistance` must stay below 2^windowBits.  Every comparison that
    // shapes the tree looks at exactly `niceLength` bytes, so the tree stays
    // ordered however the caller's data ends.
    BtMatchFinder(unsigned windowBits, unsigned hashBits, uint32_t niceLength);

    uint32_t niceLength() const { return niceLength_; }

    // Inserts position `pos` (bytes at `in`, at least niceLength readable)
    // and stores the matches found, each longer than the one before, into
    // `out` (room for niceLength entries), visiting at most `depth` nodes.
    // Returns how many were stored.
    size_t findAndInsert(const uint8_t *in, uint32_t pos, uint32_t maxDistance, unsigned depth, BtMatch *out)
    {
        return walk<true>(in, pos, maxDistance, out, depth);
    }

    // Inserts position `pos` without reporting matches, visiting at most
    // `depth` nodes (fewer than a search: the tree stays ordered, older
    // strings just drop out of it sooner).
    void insert(const uint8_t *in, uint32_t pos, uint32_t maxDistance, unsigned depth)
    {
        walk<false>(in, pos, maxDistance, nullptr, depth);
    }

    // Searches without inserting, for positions with fewer than niceLength
    // bytes after them (`avail`); such positions are inserted later, once
    // more data is there, or never.
    size_t find(const uint8_t *in, uint32_t pos, uint32_t avail, uint32_t maxDistance, unsigned depth,
                BtMatch *out) const;

    // Fetches the tree root for the bytes at `in` (kMinLength of them
    // readable) into the cache ahead of use.
    void prefetch(const uint8_t *in) const { __builtin_prefetch(&heads_[hash4(in)]); }

    // The second step after prefetch(): reads the root (fetched by then)
    // and fetches its node and string.  `pos` is the position of `in`.
    void prefetchRoot(const uint8_t *in, uint32_t pos, uint32_t maxDistance) const
    {
        const uint32_t node = heads_[hash4(in)];
        if (node != 0 && pos + 1 - node <= maxDistance) {
            __builtin_prefetch(&children_[2 * ((node - 1) & ringMask_)]);
            __builtin_prefetch(in - (pos + 1 - node));
        }
    }

private:
    template <bool kRecord>
    size_t walk(const uint8_t *in, uint32_t pos, uint32_t maxDistance, BtMatch *out, unsigned maxDepth);

    uint32_t hash4(const uint8_t *p) const
    {
        return (base::loadLe32(p) * 0x9E3779B1u) >> (32 - hashBits_);
    }

    // The walk goes on to one of the two children; fetching both while the
    // current node is compared hides much of the memory latency.
    void prefetchChildren(const uint32_t *links, const uint8_t *in, uint32_t pos, uint32_t len) const
    {
        for (int i = 0; i < 2; ++i) {
            const uint32_t child = links[i];
            if (child) {
                __builtin_prefetch(&children_[2 * ((child - 1) & ringMask_)]);
                __builtin_prefetch(in - (pos + 1 - child) + len);
            }
        }
    }

    unsigned hashBits_;
    uint32_t niceLength_;
    uint32_t ringMask_;
    // Zeroed uint32 arrays on transparent huge pages where the system
    // allows: the walks jump all over megabytes, and 4 KiB pages would miss
    // the TLB on nearly every step.
    struct PageDeleter {
        size_t bytes;
        void operator()(uint32_t *p) const;
    };
    using Array = std::unique_ptr<uint32_t[], PageDeleter>;
    static Array allocate(size_t count);

    // Nodes hold position + 1; 0 is the empty link.
    Array heads_;
    Array children_; // [2 * slot] smaller, [2 * slot + 1] greater
};

} // namespace qvo::codecs::match
