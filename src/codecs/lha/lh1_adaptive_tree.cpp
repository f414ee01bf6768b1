#include "codecs/lha/lh1_adaptive_tree.h"

#include <cstring>

namespace qvo::codecs::lha {

Lh1AdaptiveTree::Lh1AdaptiveTree()
{
    for (unsigned s = 0; s < kSymbols; ++s) {
        weight_[s] = 1;
        son_[s] = uint16_t(s + kNodes);
        parent_[s + kNodes] = uint16_t(s);
    }
    // Internal nodes pair up the nodes below them in order.
    for (unsigned child = 0, n = kSymbols; n < kNodes; child += 2, ++n) {
        weight_[n] = weight_[child] + weight_[child + 1];
        son_[n] = uint16_t(child);
        parent_[child] = parent_[child + 1] = uint16_t(n);
    }
    weight_[kNodes] = 0xFFFFFFFFu;
    parent_[kRoot] = 0;
}

void Lh1AdaptiveTree::encode(unsigned sym, uint64_t &code, unsigned &length)
{
    // Walk from the leaf up: a node at an odd index is a bit-1 child.
    code = 0;
    length = 0;
    for (unsigned n = parent_[sym + kNodes]; n != kRoot; n = parent_[n]) {
        code |= uint64_t(n & 1) << length;
        ++length;
    }
    update(sym);
}

void Lh1AdaptiveTree::update(unsigned sym)
{
    if (weight_[kRoot] >= kRebuildWeight)
        rebuild();
    unsigned n = parent_[sym + kNodes];
    for (;;) {
        uint32_t w = ++weight_[n];
        if (w > weight_[n + 1]) {
            // Swap with the last node of the old weight to keep the order.
            unsigned m = n + 1;
            while (w > weight_[m + 1])
                ++m;
            weight_[n] = weight_[m];
            weight_[m] = w;
            unsigned a = son_[n];
            parent_[a] = uint16_t(m);
            if (a < kNodes)
                parent_[a + 1] = uint16_t(m);
            unsigned b = son_[m];
            son_[m] = uint16_t(a);
            parent_[b] = uint16_t(n);
            if (b < kNodes)
                parent_[b + 1] = uint16_t(n);
            son_[n] = uint16_t(b);
            n = m;
        }
        if (n == kRoot)
            break;
        n = parent_[n];
    }
}

void Lh1AdaptiveTree::rebuild()
{
    // Gather the leaves (in order) with halved weights.
    unsigned j = 0;
    for (unsigned i = 0; i < kNodes; ++i) {
        if (son_[i] >= kNodes) {
            weight_[j] = (weight_[i] + 1) / 2;
            son_[j] = son_[i];
            ++j;
        }
    }
    // Pair the two lightest remaining nodes and insert the new node after
    // every node not heavier than it.
    for (unsigned i = 0, n = kSymbols; n < kNodes; i += 2, ++n) {
        uint32_t w = weight_[i] + weight_[i + 1];
        unsigned k = n;
        while (k > 0 && w < weight_[k - 1])
            --k;
        std::memmove(&weight_[k + 1], &weight_[k], (n - k) * sizeof weight_[0]);
        std::memmove(&son_[k + 1], &son_[k], (n - k) * sizeof son_[0]);
        weight_[k] = w;
        son_[k] = uint16_t(i);
    }
    for (unsigned i = 0; i < kNodes; ++i) {
        unsigned s = son_[i];
        parent_[s] = uint16_t(i);
        if (s < kNodes)
            parent_[s + 1] = uint16_t(i);
    }
}

} // namespace qvo::codecs::lha
