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
        std::fill(mainCost_.begin(), mainCost_.end(), kFirstMatchSymbolCost);
        lengthCost_.fill(kFirstLengthSymbolCost);
    }

    // Takes the costs of the block just written.
    void update(std::span<const uint8_t> mainLen, std::span<const uint8_t> lengthLen,
                std::span<const uint32_t> mainFreq)
    {
        uint64_t bits = 0, count = 0;
        for (unsigned s = 0; s < kNumChars; ++s) {
            bits += uint64_t(mainFreq[s]) * mainLen[s];
            count += mainFreq[s];
        }
        if (count)
            literal_ = int(bits * kCostScale / count);
        for (unsigned s = 0; s < mainSymbols_; ++s)
            mainCost_[s] = mainLen[s] ? mainLen[s] * kCostScale : kUnusedSymbolCost;
        for (unsigned s = 0; s < kNumSecondaryLengths; ++s)
            lengthCost_[s] = lengthLen[s] ? lengthLen[s] * kCostScale : kUnusedSymbolCost;
    }

    int literal() const { return literal_; }

    int match(unsigned slot, uint32_t length) const
    {
        const uint32_t header = length - kMinMatch;
        int cost = slotExtraBits(slot) * kCostScale;
        if (header >= kNumPrimaryLengths)
            return cost + mainCost_[kNumChars + slot * 8 + kNumPrimaryLengths] +
                   lengthCost_[header - kNumPrimaryLengths];
        return cost + mainCost_[kNumChars + slot * 8 + header];
    }

private:
    unsigned mainSymbols_;
    int literal_ = kFirstLiteralCost;
    std::array<int, kMaxMainSymbols> mainCost_{};
    std::array<int, kNumSecondaryLengths> lengthCost_{};
};

} // namespace qvo::codecs::lzx
