// Writes one LZX block for a parsed frame: builds the trees, sends their
// lengths as deltas against the previous block's, and picks the cheapest of
// a verbatim, an aligned-offset and a stored block.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "codecs/lzx/lzx_bitwriter.h"
#include "codecs/lzx/lzx_constants.h"
#include "codecs/lzx/lzx_costs.h"
#include "codecs/lzx/lzx_items.h"

namespace qvo::codecs::lzx {

class BlockWriter {
public:
    BlockWriter(unsigned mainSymbols, bool e8Translation, bool allowStored, bool allowAligned)
        : mainSymbols_(mainSymbols), e8Translation_(e8Translation), allowStored_(allowStored),
          allowAligned_(allowAligned)
    {
    }

    // `items` code `data` (the frame as the decoder's window holds it);
    // `repeats` is the offset state after them.  Passes the new code
    // lengths on to `costs`.
    void write(BitWriter &writer, std::span<const Item> items, std::span<const uint8_t> data,
               const RepeatedOffsets &repeats, CostModel &costs);

private:
    void writeStored(BitWriter &writer, std::span<const uint8_t> data, const RepeatedOffsets &repeats);

    const unsigned mainSymbols_;
    const bool e8Translation_;
    const bool allowStored_;
    const bool allowAligned_;
    bool intelStarted_ = false;
    // Tree lengths of the last compressed block: the base of the deltas.
    std::array<uint8_t, kMaxMainSymbols> prevMain_{};
    std::array<uint8_t, kNumSecondaryLengths> prevLength_{};
};

} // namespace qvo::codecs::lzx
