// Least-significant-bit-first reader over a ByteSource: the bit order of
// the legacy ZIP methods, Deflate64 among them.  Past the end of the data it yields
// zero bits and remembers that it did, so a decoder loop never waits for
// input that will not come; decoders check overran() and report the member
// as truncated.  A source that fails ends the data the same way.
#pragma once
#include "base/byte_stream.h"

#include <cstdint>
#include <vector>

namespace qvo::codecs::lz {

class LsbBitReader {
public:
    explicit LsbBitReader(base::ByteSource &source) : source_(source), buf_(kBufferSize) {}

    // The next `n` bits (n <= 32), first bit in bit 0.
    uint32_t bits(unsigned n)
    {
        if (n == 0)
            return 0;
        if (count_ < n)
            refill();
        auto v = static_cast<uint32_t>(acc_ & ((uint64_t(1) << n) - 1));
        acc_ >>= n;
        count_ -= n;
        consumed_ += n;
        return v;
    }
    uint32_t bit() { return bits(1); }

    // The next `n` bits (n <= 32) without taking them; skip() takes them.
    uint32_t peek(unsigned n)
    {
        if (count_ < n)
            refill();
        return static_cast<uint32_t>(acc_ & ((uint64_t(1) << n) - 1));
    }
    void skip(unsigned n)
    {
        acc_ >>= n;
        count_ -= n;
        consumed_ += n;
    }

    // Drops the bits up to the next byte boundary.
    void alignToByte() { bits(count_ % 8); }

    // True once more bits were taken than the data holds.
    bool overran() const { return consumed_ > available_; }

private:
    static constexpr size_t kBufferSize = 64 * 1024;

    void refill()
    {
        while (count_ <= 56) {
            if (pos_ == end_) {
                int64_t n = source_.read(buf_.data(), buf_.size());
                end_ = n > 0 ? static_cast<size_t>(n) : 0;
                pos_ = 0;
                if (end_ == 0) {
                    // Zero padding; overran() tells it from data.
                    count_ += 8;
                    continue;
                }
            }
            acc_ |= uint64_t(buf_[pos_++]) << count_;
            count_ += 8;
            available_ += 8;
        }
    }

    base::ByteSource &source_;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0;
    size_t end_ = 0;
    uint64_t acc_ = 0;
    unsigned count_ = 0;
    uint64_t consumed_ = 0;
    uint64_t available_ = 0;
};

} // namespace qvo::codecs::lz
