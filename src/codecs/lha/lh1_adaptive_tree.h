// The adaptive Huffman tree of -lh1-: 314 symbols (256 literals and the
// lengths 3..60), every symbol starting with weight 1.  After each symbol
// its weight and its ancestors' grow by one, and nodes are swapped so that
// the node array stays sorted by weight (the sibling property); once the
// root weight reaches 0x8000 all weights are halved and the tree rebuilt.
// Encoder and decoder must follow exactly these rules to stay in step.
#pragma once
#include <cstdint>

namespace qvo::codecs::lha {

class Lh1AdaptiveTree {
public:
    static constexpr unsigned kSymbols = 314;

    Lh1AdaptiveTree();

    // Writes the current code of `sym` (root first) to `code`/`length`,
    // then updates the tree for it.
    void encode(unsigned sym, uint64_t &code, unsigned &length);

private:
    // Nodes sit in an array sorted by ascending weight; the root is last.
    // Children of a node are the pair son_[n] (bit 0) and son_[n] + 1
    // (bit 1); a son_ value of kNodes + s marks the leaf of symbol s.
    static constexpr unsigned kNodes = 2 * kSymbols - 1;
    static constexpr unsigned kRoot = kNodes - 1;
    static constexpr uint32_t kRebuildWeight = 0x8000;

    void update(unsigned sym);
    void rebuild();

    uint32_t weight_[kNodes + 1]; // +1: a sentinel heavier than any node
    uint16_t parent_[kNodes + kSymbols];
    uint16_t son_[kNodes];
};

} // namespace qvo::codecs::lha
