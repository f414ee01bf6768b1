// Bit costs of literals and matches, for choosing between them while
// parsing.  They come from the code lengths of the previous block.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "codecs/lzx/lzx_constants.h"

namespace qvo::codecs::lzx {

// In 1/16 bit.  The first values stand in before the first block, the
// unused one for symbols that block did not use.
constexpr int kCostScale = 16;
constexpr int kFirstLiteralCost = 8 * kCostScale;
constexpr int kFirstMatchSymbolCost = 9 * kCostScale;
constexpr int kUnusedSymbolCost = 12 * kCostScale;
constexpr int kFirstLengthSymbolCost = 6 * kCostScale;

class CostModel {
public:
    explicit CostModel(unsigned mainSymbols) : mainSymbols_(mainSymbols)
    {
        literal_.fill(kFirstLiteralCost);
        std::array<int, kMaxMainSymbols> main;
        main.fill(kFirstMatchSymbolCost);
        std::array<int, kNumSecondaryLengths> length;
        length.fill(kFirstLengthSymbolCost);
        tabulate(main, length);
    }

    // Takes the costs of the block just written.
    void update(std::span<const uint8_t> mainLen, std::span<const uint8_t> lengthLen)
    {
        auto cost = [](uint8_t len) { return len ? len * kCostScale : kUnusedSymbolCost; };
        for (unsigned s = 0; s < kNumChars; ++s)
            literal_[s] = cost(mainLen[s]);
        std::array<int, kMaxMainSymbols> main{};
        for (unsigned s = 0; s < mainSymbols_; ++s)
            main[s] = cost(mainLen[s]);
        std::array<int, kNumSecondaryLengths> length;
        for (unsigned s = 0; s < kNumSecondaryLengths; ++s)
            length[s] = cost(lengthLen[s]);
        tabulate(main, length);
    }

    int literal(uint8_t byte) const { return literal_[byte]; }

    // A match of `length` (2..257) in position slot `slot` (0..2 the repeats).
    int match(unsigned slot, uint32_t length) const
    {
        const uint32_t header = std::min(length - kMinMatch, kNumPrimaryLengths);
        return slotHeader_[slot * 8 + header] + lengthTail_[length];
    }

private:
    // The parser asks for match costs millions of times per second: the
    // slot's footer bits and main symbol are summed once per block.
    void tabulate(const std::array<int, kMaxMainSymbols> &main, const std::array<int, kNumSecondaryLengths> &length)
    {
        for (unsigned slot = 0; slot < kMaxPositionSlots; ++slot)
            for (unsigned h = 0; h < 8; ++h)
                slotHeader_[slot * 8 + h] = int(slotExtraBits(slot)) * kCostScale + main[kNumChars + slot * 8 + h];
        for (uint32_t len = 0; len <= kMaxMatch; ++len)
            lengthTail_[len] = len >= kMinMatch + kNumPrimaryLengths ? length[len - kMinMatch - kNumPrimaryLengths] : 0;
    }

    unsigned mainSymbols_;
    std::array<int, kNumChars> literal_{};
    std::array<int, kMaxPositionSlots * 8> slotHeader_{};
    std::array<int, kMaxMatch + 1> lengthTail_{};
};

} // namespace qvo::codecs::lzx
