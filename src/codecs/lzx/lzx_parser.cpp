#include "codecs/lzx/lzx_parser.h"

#include <algorithm>
#include <limits>

#include "codecs/match/lz_extend.h"

namespace qvo::codecs::lzx {

namespace {

constexpr uint32_t kTakeWholeLength = 128;

// The offsets after a match at `distance`, as RepeatedOffsets::code keeps them.
void advance(std::array<uint32_t, kNumRepeats> &r, uint32_t distance)
{
    if (distance == r[0])
        return;
    if (distance == r[1])
        std::swap(r[0], r[1]);
    else if (distance == r[2])
        std::swap(r[0], r[2]);
    else
        r = {distance, r[0], r[1]};
}

} // namespace

void OptimalParser::parse(std::span<const uint8_t> frame, uint32_t streamPos, const FrameMatches &found,
                          const CostModel &costs, RepeatedOffsets &repeats, std::vector<Item> &out)
{
    const uint32_t n = uint32_t(frame.size());
    nodes_.assign(n + 1, {std::numeric_limits<uint32_t>::max(), 0, 0, 0});
    offsets_.resize(n + 1);
    nodes_[0].cost = 0;
    offsets_[0] = repeats.values();

    for (uint32_t i = 0; i < n; ++i) {
        const Node here = nodes_[i];
        Offsets r = offsets_[here.from];
        if (i > 0 && here.length > 1)
            advance(r, here.distance);
        offsets_[i] = r;

        const uint8_t *in = frame.data() + i;
        const uint32_t pos = streamPos + i;
        const uint32_t avail = std::min(n - i, kMaxMatch);
        relax(i + 1, here.cost + uint32_t(costs.literal(*in)), i, 1, 0);
        if (avail < kMinMatch)
            continue;

        // Repeat matches, each distinct offset once.
        uint32_t rep0Length = 0, longest = 0;
        for (unsigned k = 0; k < kNumRepeats; ++k) {
            const uint32_t d = r[k];
            if (d > pos || (k > 0 && d == r[0]) || (k == 2 && d == r[1]))
                continue;
            const uint32_t len = match::lzExtend(in, in - d, 0, avail);
            longest = std::max(longest, len);
            if (k == 0)
                rep0Length = len;
            if (len < kMinMatch)
                continue;
            for (uint32_t l = len >= longLength_ ? len : kMinMatch; l <= len; ++l)
                relax(i + l, here.cost + uint32_t(costs.match(k, l)), i, l, d);
        }

        // New offsets.  A length the repeat R0 also reaches is left to it.
        uint32_t next = std::max(kMinMatch + 1, rep0Length + 1);
        for (uint32_t m = found.first[i]; m < found.first[i + 1]; ++m) {
            const match::BtMatch cand = found.matches[m];
            if (cand.distance != r[0] && cand.distance != r[1] && cand.distance != r[2]) {
                const unsigned slot = slotOfFormatted(cand.distance + 2);
                for (uint32_t l = cand.length >= longLength_ ? cand.length : next; l <= cand.length; ++l)
                    relax(i + l, here.cost + uint32_t(costs.match(slot, l)), i, l, cand.distance);
            }
            next = std::max(next, cand.length + 1);
            longest = std::max(longest, cand.length);
        }
        // A very long match is taken whole: the positions it covers are
        // not expanded (runs and repeated files would otherwise cost a
        // comparison of some hundred bytes at every byte).  Nothing
        // reaches them from here on, so the path goes through i + longest
        // or jumps over it.
        if (longest >= kTakeWholeLength)
            i += longest - 1;
    }

    path_.clear();
    for (uint32_t j = n; j > 0; j = nodes_[j].from)
        path_.push_back(j);
    for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
        const Node &step = nodes_[*it];
        if (step.length == 1)
            out.push_back(literalItem(frame[step.from]));
        else
            out.push_back(repeats.code(step.length, step.distance));
    }
}

} // namespace qvo::codecs::lzx
