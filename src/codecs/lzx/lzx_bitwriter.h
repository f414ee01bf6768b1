// LZX bit stream writer: bits fill 16-bit words from the most significant
// end, and each word is stored little-endian.
#pragma once
#include "base/endian.h"

#include <cstdint>
#include <vector>

namespace qvo::codecs::lzx {

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t> &out) : out_(out) {}

    // Appends the low `count` bits of `value`, count <= 16.
    void put(uint32_t value, unsigned count)
    {
        acc_ = (acc_ << count) | (value & ((uint32_t(1) << count) - 1));
        pending_ += count;
        if (pending_ >= 16) {
            pending_ -= 16;
            base::appendLe16(out_, uint16_t(acc_ >> pending_));
            acc_ &= (uint32_t(1) << pending_) - 1;
        }
    }

    // Up to 32 bits.
    void putLong(uint32_t value, unsigned count)
    {
        if (count > 16) {
            put(value >> 16, count - 16);
            put(value & 0xFFFF, 16);
        } else {
            put(value, count);
        }
    }

    // Pads with zero bits to the next 16-bit boundary (nothing if aligned).
    void alignToWord()
    {
        if (pending_)
            put(0, 16 - pending_);
    }

    bool aligned() const { return pending_ == 0; }
    unsigned pendingBits() const { return pending_; }
    std::vector<uint8_t> &bytes() { return out_; }

private:
    std::vector<uint8_t> &out_;
    uint32_t acc_ = 0;
    unsigned pending_ = 0;
};

} // namespace qvo::codecs::lzx
