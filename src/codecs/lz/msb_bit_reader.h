// Most-significant-bit-first reader over a member's packed bytes, pulled
// from a ByteSource in blocks: the bit order of LHA and RAR 1.5 to 4.x.
// Past the end of the data it reads zero bits and counts how far it went,
// so each decoder can tell, by its own rule, a stream that ran dry.
#pragma once
#include "base/byte_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace qvo::codecs::lz {

class MsbBitReader {
public:
    static constexpr size_t kBlock = 64 * 1024;
    static constexpr size_t kSlack = 16; // zero bytes readable past the end

    MsbBitReader() = default;
    explicit MsbBitReader(base::ByteSource &src) { reset(src); }

    void reset(base::ByteSource &src)
    {
        src_ = &src;
        // refill() zeroes what the data leaves of the buffer.
        if (!buf_)
            buf_ = std::make_unique_for_overwrite<uint8_t[]>(kBlock + kSlack);
        pos_ = end_ = 0;
        bit_ = 0;
        eof_ = failed_ = false;
        overrunBytes_ = 0;
        refill();
    }

    // Peeks 16 bits.
    uint32_t peek16()
    {
        if (pos_ + 4 > end_ && !eof_)
            refill();
        const uint8_t *p = buf_.get() + pos_;
        uint32_t v = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        return (v >> (8 - bit_)) & 0xFFFF;
    }
    void skip(unsigned bits)
    {
        bit_ += bits;
        pos_ += bit_ >> 3;
        bit_ &= 7;
        if (pos_ > end_ + kSlack / 2)
            pos_ = end_ + kSlack / 2; // stays in the zero slack; the counts tell
    }
    uint32_t bits(unsigned n) // n <= 16
    {
        uint32_t v = peek16() >> (16 - n);
        skip(n);
        return v;
    }
    // skip(1) spelled out: decoders that walk a code bit by bit call it
    // for every bit.
    uint32_t bit()
    {
        if (pos_ >= end_ && !eof_)
            refill();
        uint32_t v = (buf_[pos_] >> (7 - bit_)) & 1u;
        if (++bit_ == 8) {
            bit_ = 0;
            if (pos_ < end_ + kSlack / 2)
                ++pos_;
        }
        return v;
    }
    void alignToByte()
    {
        if (bit_)
            skip(8 - bit_);
    }
    // Byte-aligned read used by the range coder of RAR's PPMd blocks.
    uint8_t byte()
    {
        if (pos_ >= end_ && !eof_)
            refill();
        if (pos_ >= end_) {
            overrunBytes_++;
            return 0;
        }
        return buf_[pos_++];
    }

    // True once a bit past the end of the data was taken, or the source
    // failed.
    bool overran() const
    {
        return failed_ || (eof_ && (pos_ > end_ || (pos_ == end_ && bit_ != 0) || overrunBytes_ > 0));
    }
    // Whole bytes taken past the end of the data, by bits or by byte().
    uint64_t bytesPastEnd() const
    {
        if (!eof_)
            return 0;
        return std::max<uint64_t>(pos_ > end_ ? pos_ - end_ : 0, overrunBytes_);
    }
    bool readFailed() const { return failed_; }

    // A position to come back to, valid while no new block was read.
    struct Mark {
        size_t pos;
        unsigned bit;
        uint64_t refills;
    };
    Mark mark() const { return {pos_, bit_, refills_}; }
    bool restore(const Mark &m)
    {
        if (m.refills != refills_)
            return false;
        pos_ = m.pos;
        bit_ = m.bit;
        return true;
    }

    // Whether at least `n` unread bytes remain.
    bool hasBytes(size_t n)
    {
        if (pos_ + n > end_ && !eof_)
            refill();
        return pos_ + n <= end_;
    }
    // Whether all data has been consumed (to within the bit position).
    bool exhausted() const { return eof_ && pos_ >= end_; }

private:
    void refill()
    {
        ++refills_;
        size_t keep = end_ > pos_ ? end_ - pos_ : 0;
        std::memmove(buf_.get(), buf_.get() + pos_, keep);
        pos_ = 0;
        end_ = keep;
        while (!eof_ && end_ < kBlock) {
            int64_t n = src_->read(buf_.get() + end_, kBlock - end_);
            if (n <= 0) {
                eof_ = true;
                failed_ = n < 0;
                break;
            }
            end_ += static_cast<size_t>(n);
        }
        std::memset(buf_.get() + end_, 0, kBlock + kSlack - end_);
    }

    base::ByteSource *src_ = nullptr;
    std::unique_ptr<uint8_t[]> buf_;
    size_t pos_ = 0;
    size_t end_ = 0;
    unsigned bit_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    uint64_t overrunBytes_ = 0;
    uint64_t refills_ = 0;
};

} // namespace qvo::codecs::lz
