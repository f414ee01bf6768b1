// Bit output for the LHA methods: most significant bit first, bytes handed
// to a ByteSink in large pieces.  The encoder gives up as soon as its
// output passes `limit` bytes, since the member will then be stored.
#pragma once
#include "codecs/lha/lha_encode_result.h"

#include <vector>

namespace qvo::codecs::lha {

class LhaBitWriter {
public:
    LhaBitWriter(const ByteSink &sink, uint64_t limit) : sink_(sink), limit_(limit)
    {
        buf_.reserve(64 * 1024);
    }

    // Appends the low `n` bits of `v` (n <= 32, higher bits of v zero).
    void put(unsigned n, uint32_t v)
    {
        acc_ = (acc_ << n) | v;
        bits_ += n;
        if (bits_ >= 32) {
            bits_ -= 32;
            uint32_t w = uint32_t(acc_ >> bits_);
            uint8_t b[4] = {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w)};
            buf_.insert(buf_.end(), b, b + 4);
        }
    }

    // Passes buffered bytes on once enough have gathered.  Returns the
    // status to stop with, or Ok to go on.
    EncodeStatus checkpoint()
    {
        if (written_ + buf_.size() > limit_)
            return EncodeStatus::NotSmaller;
        if (buf_.size() >= kFlushSize)
            return flushBuffer();
        return EncodeStatus::Ok;
    }

    // Pads the last byte with zero bits and hands everything on.  No byte
    // follows the last bit: some readers check that the data ends exactly.
    EncodeResult finish()
    {
        while (bits_ >= 8) {
            bits_ -= 8;
            buf_.push_back(uint8_t(acc_ >> bits_));
        }
        if (bits_ > 0) {
            buf_.push_back(uint8_t(acc_ << (8 - bits_)));
            bits_ = 0;
        }
        EncodeResult r;
        if (written_ + buf_.size() > limit_) {
            r.status = EncodeStatus::NotSmaller;
            return r;
        }
        r.status = flushBuffer();
        r.compressedSize = written_;
        return r;
    }

private:
    static constexpr size_t kFlushSize = 1 << 20;

    EncodeStatus flushBuffer()
    {
        if (!buf_.empty() && !sink_(buf_.data(), buf_.size()))
            return EncodeStatus::SinkFailed;
        written_ += buf_.size();
        buf_.clear();
        return EncodeStatus::Ok;
    }

    const ByteSink &sink_;
    uint64_t limit_;
    uint64_t written_ = 0;
    uint64_t acc_ = 0;
    unsigned bits_ = 0;
    std::vector<uint8_t> buf_;
};

// Counts bits instead of writing them: sizes a block before it is sent.
struct LhaBitCounter {
    uint64_t bits = 0;
    void put(unsigned n, uint32_t) { bits += n; }
};

} // namespace qvo::codecs::lha
