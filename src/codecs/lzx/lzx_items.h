// The parse of one block: literals and matches, already in their coded
// form, and the repeated-offset state that decides that form.
#pragma once
#include <array>
#include <cstdint>

#include "codecs/lzx/lzx_constants.h"

namespace qvo::codecs::lzx {

constexpr uint16_t kNoLength = 0xFFFF;

// One parsed item: a literal (mainSymbol < 256) or a match.
struct Item {
    uint16_t mainSymbol;
    uint16_t lengthSymbol; // kNoLength unless the length header is 7
    uint8_t extraBits;     // footer bits of a new offset
    uint32_t extraValue;
};

inline Item literalItem(uint8_t byte) { return {byte, kNoLength, 0, 0}; }

// R0..R2 as the decoder keeps them.
class RepeatedOffsets {
public:
    uint32_t operator[](unsigned i) const { return r_[i]; }
    const std::array<uint32_t, kNumRepeats> &values() const { return r_; }

    // Codes a match and updates the offsets as the decoder will.
    Item code(uint32_t length, uint32_t distance)
    {
        unsigned slot;
        Item item{};
        if (distance == r_[0]) {
            slot = 0;
        } else if (distance == r_[1]) {
            slot = 1;
            std::swap(r_[0], r_[1]);
        } else if (distance == r_[2]) {
            slot = 2;
            std::swap(r_[0], r_[2]);
        } else {
            const uint32_t formatted = distance + 2;
            slot = slotOfFormatted(formatted);
            item.extraBits = uint8_t(slotExtraBits(slot));
            item.extraValue = formatted - slotBase(slot);
            r_[2] = r_[1];
            r_[1] = r_[0];
            r_[0] = distance;
        }
        const uint32_t header = length - kMinMatch;
        if (header >= kNumPrimaryLengths) {
            item.mainSymbol = uint16_t(kNumChars + slot * 8 + kNumPrimaryLengths);
            item.lengthSymbol = uint16_t(header - kNumPrimaryLengths);
        } else {
            item.mainSymbol = uint16_t(kNumChars + slot * 8 + header);
            item.lengthSymbol = kNoLength;
        }
        return item;
    }

private:
    std::array<uint32_t, kNumRepeats> r_{1, 1, 1};
};

} // namespace qvo::codecs::lzx
