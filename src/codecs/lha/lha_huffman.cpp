#include "codecs/lha/lha_huffman.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qvo::codecs::lha {
namespace {

// Depths of a Huffman tree over `freqs` (all non-zero, sorted ascending),
// by the two-queue method: leaves and merged nodes are both consumed in
// order of weight, so no heap is needed.
void huffmanDepths(const std::vector<uint64_t> &freqs, std::vector<unsigned> &depth)
{
    const size_t n = freqs.size();
    std::vector<uint64_t> weight(2 * n - 1);
    std::vector<size_t> parent(2 * n - 1, 0);
    std::copy(freqs.begin(), freqs.end(), weight.begin());
    size_t leaf = 0, node = n, next = n;
    auto take = [&]() {
        if (leaf < n && (node >= next || weight[leaf] <= weight[node]))
            return leaf++;
        return node++;
    };
    for (; next < 2 * n - 1; ++next) {
        size_t a = take(), b = take();
        weight[next] = weight[a] + weight[b];
        parent[a] = parent[b] = next;
    }
    std::vector<unsigned> d(2 * n - 1, 0);
    for (size_t i = 2 * n - 2; i-- > 0;)
        d[i] = d[parent[i]] + 1;
    depth.assign(d.begin(), d.begin() + long(n));
}

} // namespace

unsigned buildCodeLengths(const uint32_t *freqs, unsigned n, unsigned maxLength, uint8_t *lengths)
{
    std::memset(lengths, 0, n);
    std::vector<unsigned> used;
    for (unsigned i = 0; i < n; ++i)
        if (freqs[i])
            used.push_back(i);
    if (used.size() < 2)
        return unsigned(used.size());

    std::sort(used.begin(), used.end(), [&](unsigned a, unsigned b) {
        return freqs[a] != freqs[b] ? freqs[a] < freqs[b] : a < b;
    });
    std::vector<uint64_t> w(used.size());
    for (size_t i = 0; i < used.size(); ++i)
        w[i] = freqs[used[i]];
    std::vector<unsigned> depth;
    for (;;) {
        huffmanDepths(w, depth);
        if (*std::max_element(depth.begin(), depth.end()) <= maxLength)
            break;
        // Too deep: flatten the distribution and try again.  Halving keeps
        // the order, so `w` stays sorted.
        for (auto &x : w)
            x = (x >> 1) | 1;
    }
    for (size_t i = 0; i < used.size(); ++i)
        lengths[used[i]] = uint8_t(depth[i]);
    return unsigned(used.size());
}

void buildCanonicalCodes(const uint8_t *lengths, unsigned n, uint16_t *codes)
{
    unsigned count[kMaxCodeLength + 1] = {};
    for (unsigned i = 0; i < n; ++i)
        count[lengths[i]]++;
    count[0] = 0;
    uint32_t next[kMaxCodeLength + 2] = {};
    for (unsigned len = 1; len <= kMaxCodeLength; ++len)
        next[len + 1] = (next[len] + count[len]) << 1;
    for (unsigned i = 0; i < n; ++i)
        codes[i] = lengths[i] ? uint16_t(next[lengths[i]]++) : 0;
}

} // namespace qvo::codecs::lha
