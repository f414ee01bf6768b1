// MSB-first bit reader over a ByteSource for the LHA decoders of our own
// (-lh2-, -lh3-).
#pragma once
#include "base/byte_stream.h"

#include <cstdint>
#include <vector>

namespace qvo::codecs::lha {

// MSB-first bits, as every LHA method stores them.  Past the end it gives
// zeros and remembers it (overran()).
class MsbBits {
public:
    explicit MsbBits(base::ByteSource &source) : source_(source), buf_(64 * 1024) {}

    uint32_t bit() { return bits(1); }
    uint32_t bits(unsigned n)
    {
        uint32_t v = 0;
        while (n--) {
            if (left_ == 0) {
                cur_ = next();
                left_ = 8;
            }
            --left_;
            v = (v << 1) | ((cur_ >> left_) & 1u);
        }
        return v;
    }
    bool overran() const { return overran_; }

private:
    uint8_t next()
    {
        if (pos_ == end_) {
            int64_t n = source_.read(buf_.data(), buf_.size());
            end_ = n > 0 ? static_cast<size_t>(n) : 0;
            pos_ = 0;
            if (end_ == 0) {
                overran_ = true;
                return 0;
            }
        }
        return buf_[pos_++];
    }

    base::ByteSource &source_;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0, end_ = 0;
    uint8_t cur_ = 0;
    unsigned left_ = 0;
    bool overran_ = false;
};

} // namespace qvo::codecs::lha
