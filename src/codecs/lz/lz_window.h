// The sliding window shared by every RAR 1.5-4.x method: 4 MiB, the largest
// dictionary these versions use.  Positions wrap with a mask, so no
// distance or length from the stream can reach outside the buffer.
#pragma once
#include "base/byte_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qvo::codecs::rar {

class LzWindow {
public:
    static constexpr size_t kSize = size_t{4} << 20;
    static constexpr size_t kMask = kSize - 1;

    LzWindow() : buf_(kSize, 0) {}

    void put(uint8_t b)
    {
        buf_[pos_] = b;
        pos_ = (pos_ + 1) & kMask;
        ++produced_;
    }
    void copy(uint32_t distance, uint32_t length)
    {
        size_t src = (pos_ - distance) & kMask;
        // One block move when it gives what a byte-by-byte forward copy gives.
        if (src + length <= kSize && pos_ + length <= kSize && (pos_ <= src || pos_ >= src + length)) {
            std::memmove(buf_.data() + pos_, buf_.data() + src, length);
            pos_ = (pos_ + length) & kMask;
        } else {
            for (uint32_t i = 0; i < length; ++i) {
                buf_[pos_] = buf_[src];
                pos_ = (pos_ + 1) & kMask;
                src = (src + 1) & kMask;
            }
        }
        produced_ += length;
    }
    uint8_t at(size_t p) const { return buf_[p & kMask]; }
    uint8_t *data() { return buf_.data(); }
    size_t pos() const { return pos_; }

    // Bytes decoded since the member started, and bytes waiting to be
    // written out.
    uint64_t produced() const { return produced_; }
    size_t pending() const { return (pos_ - flushed_) & kMask; }
    size_t flushed() const { return flushed_; }

    void startMember(bool solid)
    {
        produced_ = 0;
        written_ = 0;
        if (!solid)
            pos_ = 0; // old bytes stay: a stream that reaches them is corrupt and fails its CRC
        flushed_ = pos_;
    }

    // Writes window bytes [flushed, end) to the sink, never past the
    // member's `limit` bytes in total.  False when the sink stopped.
    bool writeUpTo(size_t end, uint64_t limit, base::ByteSink &out)
    {
        while (flushed_ != (end & kMask)) {
            size_t stop = (end & kMask) > flushed_ ? (end & kMask) : kSize;
            size_t n = stop - flushed_;
            if (!emit(buf_.data() + flushed_, n, limit, out))
                return false;
            flushed_ = stop & kMask;
        }
        return true;
    }
    // Writes bytes that a filter produced in place of window bytes
    // [flushed, flushed + windowBytes).
    bool writeFiltered(const uint8_t *data, size_t n, size_t windowBytes, uint64_t limit, base::ByteSink &out)
    {
        if (!emit(data, n, limit, out))
            return false;
        flushed_ = (flushed_ + windowBytes) & kMask;
        return true;
    }
    uint64_t written() const { return written_; }

private:
    bool emit(const uint8_t *data, size_t n, uint64_t limit, base::ByteSink &out)
    {
        uint64_t room = limit > written_ ? limit - written_ : 0;
        size_t take = static_cast<size_t>(std::min<uint64_t>(n, room));
        written_ += take;
        return take == 0 || out.write(data, take);
    }

    std::vector<uint8_t> buf_;
    size_t pos_ = 0;
    size_t flushed_ = 0;
    uint64_t produced_ = 0;
    uint64_t written_ = 0;
};

} // namespace qvo::codecs::rar
