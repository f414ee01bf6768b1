// The sliding window of the legacy ZIP decoders: decoded bytes go into a
// ring buffer, back-references copy from it, and full stretches of the ring
// are handed to the ByteSink.  It refuses to grow past the member's
// declared size, so a hostile stream cannot make more than that.
#pragma once
#include "codecs/zip_legacy/zip_legacy_decoder.h"

#include <cstdint>
#include <vector>

namespace qvo::codecs::zip {

class OutputWindow {
public:
    // `windowSize` (a power of two) must cover the method's longest
    // distance; `limit` is the member's declared size.
    OutputWindow(base::ByteSink &sink, size_t windowSize, uint64_t limit)
        : sink_(sink), ring_(windowSize), mask_(windowSize - 1), limit_(limit)
    {
    }

    uint64_t total() const { return total_; }
    bool full() const { return total_ >= limit_; }
    // Set when a write would have passed the limit.
    bool overflowed() const { return overflowed_; }
    bool stopped() const { return stopped_; }

    void put(uint8_t b)
    {
        if (total_ >= limit_) {
            overflowed_ = true;
            return;
        }
        ring_[pos_++] = b;
        ++total_;
        if (pos_ == ring_.size())
            flushTo(ring_.size());
    }

    // What a copy from before the start of the member gives: Reduce and
    // Implode encoders relied on zeros, LHA ones on spaces; for Deflate64
    // such a distance is corrupt.
    static constexpr int kRefuseBeforeStart = -1;

    // Copies `len` bytes from `dist` bytes back; false when the distance
    // is out of reach.
    bool copy(uint64_t dist, uint64_t len, int beforeStart)
    {
        if (dist == 0 || dist > ring_.size())
            return false;
        for (uint64_t i = 0; i < len; ++i) {
            if (dist > total_) {
                if (beforeStart == kRefuseBeforeStart)
                    return false;
                put(static_cast<uint8_t>(beforeStart));
            } else {
                put(ring_[(pos_ - dist) & mask_]);
            }
            if (overflowed_)
                return true;
        }
        return true;
    }

    // Hands the bytes not yet passed on to the sink.
    void flush() { flushTo(pos_); }

    // Hands the rest to the sink and gives the member's outcome: a sink that
    // stopped comes first, then the decoder's own status, then input that
    // ran out (`inputOverran`), which means a truncated member.
    base::DecodeStatus finish(base::DecodeStatus status, bool inputOverran = false)
    {
        flush();
        if (stopped_)
            return base::DecodeStatus::OutputStopped;
        if (status == base::DecodeStatus::Ok && inputOverran)
            return base::DecodeStatus::Truncated;
        return status;
    }

private:
    void flushTo(size_t end)
    {
        if (end > flushed_ && !stopped_ && !sink_.write(ring_.data() + flushed_, end - flushed_))
            stopped_ = true;
        flushed_ = end;
        if (end == ring_.size())
            pos_ = flushed_ = 0;
    }

    base::ByteSink &sink_;
    std::vector<uint8_t> ring_;
    size_t mask_;
    size_t pos_ = 0;     // next write position in the ring
    size_t flushed_ = 0; // ring bytes before this were passed on
    uint64_t total_ = 0;
    uint64_t limit_;
    bool overflowed_ = false;
    bool stopped_ = false;
};

} // namespace qvo::codecs::zip
