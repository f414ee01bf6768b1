// Near-optimal parsing of one frame: the cheapest path through the frame
// under the previous block's bit costs, given the matches found at each
// position.  The path carries the repeated offsets forward, so a repeat
// match is priced as the decoder will read it.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/lzx/lzx_costs.h"
#include "codecs/lzx/lzx_items.h"
#include "codecs/match/bt_matchfinder.h"

namespace qvo::codecs::lzx {

// The matches found in one frame: those of position i (frame-relative)
// are matches[first[i] .. first[i + 1]), lengths increasing.
struct FrameMatches {
    std::vector<uint32_t> first;
    std::vector<match::BtMatch> matches;
};

class OptimalParser {
public:
    // `longLength`: a match at least this long is only taken whole (its
    // shorter prefixes are hardly ever better, and trying them all is slow).
    explicit OptimalParser(uint32_t longLength) : longLength_(longLength) {}

    // Parses `frame`, whose first byte is at stream position `streamPos`
    // and after `streamPos` readable bytes of history.  Appends the items
    // to `out` and leaves `repeats` as the decoder will have them.
    void parse(std::span<const uint8_t> frame, uint32_t streamPos, const FrameMatches &found,
               const CostModel &costs, RepeatedOffsets &repeats, std::vector<Item> &out);

private:
    // How the cheapest known path reaches a position.
    struct Node {
        uint32_t cost;
        uint32_t from;
        uint32_t length; // 1 for a literal
        uint32_t distance;
    };
    using Offsets = std::array<uint32_t, kNumRepeats>;

    void relax(uint32_t to, uint32_t cost, uint32_t from, uint32_t length, uint32_t distance)
    {
        Node &n = nodes_[to];
        if (cost < n.cost)
            n = {cost, from, length, distance};
    }

    uint32_t longLength_;
    std::vector<Node> nodes_;
    std::vector<Offsets> offsets_; // repeated offsets on arrival, set once final
    std::vector<uint32_t> path_;
};

} // namespace qvo::codecs::lzx
