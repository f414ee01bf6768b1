#include "codecs/lz/prefix_code_builder.h"

#include <algorithm>
#include <cassert>
#include <vector>

namespace qvo::codecs::lz {

namespace {

// Depths of a Huffman tree over `weights` (two or more, sorted ascending),
// by the two-queue method: leaves and merged nodes are both consumed in
// order of weight, so no heap is needed.  Returns the greatest depth.
unsigned huffmanDepths(const std::vector<uint64_t> &weights, std::vector<uint8_t> &depth)
{
    const size_t n = weights.size();
    // Nodes 0..n-1 are the leaves; internal nodes follow in creation order,
    // which is also weight order.
    std::vector<uint64_t> weight(2 * n - 1);
    std::vector<size_t> parent(2 * n - 1, 0);
    std::copy(weights.begin(), weights.end(), weight.begin());
    size_t leaf = 0, inner = n, next = n;
    auto takeLightest = [&]() {
        if (leaf < n && (inner >= next || weight[leaf] <= weight[inner]))
            return leaf++;
        return inner++;
    };
    for (; next < 2 * n - 1; ++next) {
        const size_t a = takeLightest();
        const size_t b = takeLightest();
        weight[next] = weight[a] + weight[b];
        parent[a] = parent[b] = next;
    }
    std::vector<unsigned> d(2 * n - 1, 0);
    unsigned maxDepth = 0;
    for (size_t i = 2 * n - 2; i-- > 0;) {
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

unsigned buildCodeLengths(std::span<const uint32_t> freqs, unsigned maxLength, std::span<uint8_t> lengths)
{
    assert(lengths.size() == freqs.size() && maxLength <= kMaxBuiltCodeLength);
    std::fill(lengths.begin(), lengths.end(), 0);
    std::vector<unsigned> used;
    for (unsigned s = 0; s < freqs.size(); ++s)
        if (freqs[s])
            used.push_back(s);
    if (used.size() == 1 && freqs.size() >= 2) {
        lengths[used[0]] = 1;
        lengths[used[0] == 0 ? 1 : 0] = 1;
    }
    if (used.size() < 2)
        return unsigned(used.size());

    std::sort(used.begin(), used.end(), [&](unsigned a, unsigned b) {
        return freqs[a] != freqs[b] ? freqs[a] < freqs[b] : a < b;
    });
    std::vector<uint64_t> weights(used.size());
    for (size_t i = 0; i < used.size(); ++i)
        weights[i] = freqs[used[i]];
    // Too deep: flatten the weights and try again; the alphabets are small,
    // so a few rounds at most.  Halving keeps the order, so `weights` stays
    // sorted.
    std::vector<uint8_t> depth;
    while (huffmanDepths(weights, depth) > maxLength)
        for (uint64_t &w : weights)
            w = (w >> 1) | 1;
    for (size_t i = 0; i < used.size(); ++i)
        lengths[used[i]] = depth[i];
    return unsigned(used.size());
}

void buildCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes)
{
    unsigned count[kMaxBuiltCodeLength + 1] = {};
    for (uint8_t l : lengths)
        ++count[l];
    count[0] = 0;
    unsigned next[kMaxBuiltCodeLength + 1] = {};
    unsigned code = 0;
    for (unsigned len = 1; len <= kMaxBuiltCodeLength; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (size_t s = 0; s < lengths.size(); ++s)
        codes[s] = lengths[s] ? uint16_t(next[lengths[s]]++) : 0;
}

} // namespace qvo::codecs::lz
