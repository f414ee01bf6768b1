// The sliding window of our LZ decoders: a ring of a power-of-two size that
// decoded bytes go into and matches copy from.  Positions wrap with a mask,
// so no distance or length from the stream can reach outside the ring.
//
// The decoder decides when bytes leave: those between flushed() and pos()
// are decoded but not yet written, and must be written (writeUpTo) before
// the ring comes round to them.  RAR holds bytes back for its filters;
// SizedOutput writes the ring out each time it fills.  Writing never goes
// past the member's `limit` bytes in total, whatever the stream decodes to.
#pragma once
#include "base/byte_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qvo::codecs::lz {

class Window {
public:
    // `fill` is what the ring holds before anything is decoded: what a
    // distance reaching before the first byte copies.
    explicit Window(size_t size, uint8_t fill = 0) : buf_(size, fill), mask_(size - 1) {}

    size_t size() const { return buf_.size(); }
    size_t mask() const { return mask_; }

    void put(uint8_t b)
    {
        buf_[pos_] = b;
        pos_ = (pos_ + 1) & mask_;
        ++produced_;
    }
    void copy(size_t distance, size_t length)
    {
        size_t src = (pos_ - distance) & mask_;
        // One block move when it gives what a byte-by-byte forward copy gives.
        if (src + length <= buf_.size() && pos_ + length <= buf_.size() && (pos_ <= src || pos_ >= src + length)) {
            std::memmove(buf_.data() + pos_, buf_.data() + src, length);
            pos_ = (pos_ + length) & mask_;
        } else {
            for (size_t i = 0; i < length; ++i) {
                buf_[pos_] = buf_[src];
                pos_ = (pos_ + 1) & mask_;
                src = (src + 1) & mask_;
            }
        }
        produced_ += length;
    }
    uint8_t at(size_t p) const { return buf_[p & mask_]; }
    size_t pos() const { return pos_; }

    // Bytes decoded since the member started, and bytes waiting to be
    // written out.
    uint64_t produced() const { return produced_; }
    size_t pending() const { return (pos_ - flushed_) & mask_; }
    size_t flushed() const { return flushed_; }

    // `solid`: the member continues the previous one, whose bytes stay in
    // reach.  Otherwise decoding starts at the ring's start again; old bytes
    // stay, and a stream that reaches them is corrupt and fails its CRC.
    void startMember(bool solid)
    {
        produced_ = 0;
        written_ = 0;
        if (!solid)
            pos_ = 0;
        flushed_ = pos_;
    }

    // Writes ring bytes [flushed, end) to the sink.  False when the sink
    // stopped.
    bool writeUpTo(size_t end, uint64_t limit, base::ByteSink &out)
    {
        while (flushed_ != (end & mask_)) {
            size_t stop = (end & mask_) > flushed_ ? (end & mask_) : buf_.size();
            if (!emit(buf_.data() + flushed_, stop - flushed_, limit, out))
                return false;
            flushed_ = stop & mask_;
        }
        return true;
    }
    // Writes ring bytes [flushed, end of the ring) once the ring came round
    // (pos() is 0 again): as many as it holds when none were written yet.
    bool writeToRingEnd(uint64_t limit, base::ByteSink &out)
    {
        if (!emit(buf_.data() + flushed_, buf_.size() - flushed_, limit, out))
            return false;
        flushed_ = 0;
        return true;
    }
    // Writes bytes that a filter produced in place of ring bytes
    // [flushed, flushed + windowBytes).
    bool writeFiltered(const uint8_t *data, size_t n, size_t windowBytes, uint64_t limit, base::ByteSink &out)
    {
        if (!emit(data, n, limit, out))
            return false;
        flushed_ = (flushed_ + windowBytes) & mask_;
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
    size_t mask_;
    size_t pos_ = 0;
    size_t flushed_ = 0;
    uint64_t produced_ = 0;
    uint64_t written_ = 0;
};

} // namespace qvo::codecs::lz
