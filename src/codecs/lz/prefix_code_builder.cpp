#include "codecs/lz/prefix_code_builder.h"

#include <algorithm>
#include <cassert>
#include <vector>

namespace qvo::codecs::lz {

namespace {

// Plain Huffman lengths of the used symbols (two or more), by repeatedly
// merging the two lightest nodes.  Returns the longest length.
unsigned huffmanDepths(const std::vector<std::pair<uint32_t, unsigned>> &leaves, std::vector<uint8_t> &depth)
{
    const size_t n = leaves.size();
    // Nodes 0..n-1 are the leaves sorted by weight; internal nodes follow in
    // creation order, which is also weight order (two-queue method).
    std::vector<uint64_t> weight(2 * n - 1);
    std::vector<size_t> parent(2 * n - 1, 0);
    for (size_t i = 0; i < n; ++i)
        weight[i] = leaves[i].first;
    size_t leaf = 0, inner = n, next = n;
    auto takeLightest = [&]() {
        if (leaf < n && (inner >= next || weight[leaf] <= weight[inner]))
            return leaf++;
        return inner++;
    };
    while (next < 2 * n - 1) {
        size_t a = takeLightest();
        size_t b = takeLightest();
        weight[next] = weight[a] + weight[b];
        parent[a] = parent[b] = next;
        ++next;
    }
    std::vector<unsigned> d(2 * n - 1, 0);
    unsigned maxDepth = 0;
    for (size_t i = 2 * n - 1; i-- > 0;) {
        if (i != 2 * n - 2)
            d[i] = d[parent[i]] + 1;
        if (i < n)
            maxDepth = std::max(maxDepth, d[i]);
    }
    depth.resize(n);
    for (size_t i = 0; i < n; ++i)
        depth[i] = uint8_t(d[i]);
    return maxDepth;
}

} // namespace

void buildCodeLengths(std::span<const uint32_t> freqs, unsigned maxLen, std::span<uint8_t> lengths)
{
    assert(lengths.size() == freqs.size() && freqs.size() >= 2);
    std::fill(lengths.begin(), lengths.end(), 0);

    std::vector<std::pair<uint32_t, unsigned>> leaves;
    for (unsigned s = 0; s < freqs.size(); ++s)
        if (freqs[s])
            leaves.emplace_back(freqs[s], s);
    if (leaves.empty())
        return;
    if (leaves.size() == 1) {
        unsigned other = leaves[0].second == 0 ? 1 : 0;
        lengths[leaves[0].second] = 1;
        lengths[other] = 1;
        return;
    }
    std::sort(leaves.begin(), leaves.end());

    // Flatten the weights until the tree fits the length limit; the
    // alphabets are small, so a few rounds at most.
    std::vector<uint8_t> depth;
    while (huffmanDepths(leaves, depth) > maxLen) {
        for (auto &l : leaves)
            l.first = (l.first >> 1) | 1;
        std::stable_sort(leaves.begin(), leaves.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
    }
    for (size_t i = 0; i < leaves.size(); ++i)
        lengths[leaves[i].second] = depth[i];
}

void buildCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes)
{
    unsigned count[17] = {};
    for (uint8_t l : lengths)
        ++count[l];
    count[0] = 0;
    unsigned next[17] = {};
    unsigned code = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (size_t s = 0; s < lengths.size(); ++s)
        codes[s] = lengths[s] ? uint16_t(next[lengths[s]]++) : 0;
}

} // namespace qvo::codecs::lz
